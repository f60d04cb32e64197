// What the registry writes is what the desktop session runs: entries are started by GLib's own
// desktop entry launcher ("gio launch"), the code GNOME-based sessions start them with.
#include "PlatformTesting.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

class SessionStart : public ::testing::Test {
protected:
  void SetUp() override {
    if (std::system("command -v gio >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "gio (libglib2.0-bin) is not installed";
    // The program directory has blanks in it, like "Program Files".
    writeScript(program, "for a in \"$@\"; do printf '%s\\000' \"$a\"; done > \"" +
                             output.string() +
                             ".part\"\n"
                             "mv \"" +
                             output.string() + ".part\" \"" + output.string() + "\"\n");
  }

  // Starts the user's entry of that name the way the session does; the arguments it got.
  std::optional<Args> launch(const std::string &name) {
    const auto file = xdg.user / (name + ".desktop");
    const std::string command = "cd '" + xdg.dir.str() + "' && HOME='" + xdg.dir.str() +
                                "' timeout 20 gio launch '" + file.string() +
                                "' </dev/null >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
      return std::nullopt;
    const auto bytes = waitForFile(output);
    fs::remove(output);
    if (!bytes)
      return std::nullopt;
    Args args;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes->find('\0', start)) != std::string::npos; start = end + 1)
      args.push_back(bytes->substr(start, end - start));
    return args;
  }

  XdgFolders xdg;
  XdgStartupState registry{xdg.locations()};
  fs::path program = xdg.dir.path() / "My Programs" / "args";
  fs::path output = xdg.dir.path() / "args.out";
};

TEST_F(SessionStart, SessionRunsExactlyTheCommandThatWasWritten) {
  const std::string path = "\"" + program.string() + "\"";
  const struct {
    std::string arguments; // typed after the quoted program
    Args started;
  } cases[] = {
      {R"( "a b" 100% %U 'single quoted' "q\"uote" back\\slash "$HOME" ~ ">" na)"
       "\xC3\xAFve \"tab\there\"",
       {"a b", "100%", "%U", "single quoted", "q\"uote", "back\\slash", "$HOME", "~", ">",
        "na\xC3\xAFve", "tab\there"}},
      // Typed, a '#' begins a comment only at the start of an unquoted word; and a blank after
      // the last word is kept in the text but starts no empty argument.
      {" '#hash' x#y -x ", {"#hash", "x#y", "-x"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.arguments);
    ASSERT_TRUE(registry.write(RegistryRoot::CurrentUser, "awkward", path + c.arguments));
    EXPECT_EQ(registry.commandOf(RegistryRoot::CurrentUser, "awkward"), path + c.arguments);
    EXPECT_EQ(launch("awkward"), c.started);
  }
}

TEST_F(SessionStart, TypedProgramPathWithBlanksStartsWithoutQuotes) {
  // Typed without quotes, as on Windows.
  const std::string path = program.string();
  ASSERT_NE(path.find(' '), std::string::npos);
  ASSERT_TRUE(registry.write(RegistryRoot::CurrentUser, "unquoted", path));
  EXPECT_EQ(registry.commandOf(RegistryRoot::CurrentUser, "unquoted"), path);
  EXPECT_EQ(launch("unquoted"), Args{});
  // With arguments too, the way Windows finds an unquoted program path.
  ASSERT_TRUE(registry.write(RegistryRoot::CurrentUser, "unquoted", path + " -x"));
  EXPECT_EQ(registry.commandOf(RegistryRoot::CurrentUser, "unquoted"), path + " -x");
  EXPECT_EQ(launch("unquoted"), Args{"-x"});
}

} // namespace
} // namespace lw::test
