// The per-user store behind every key that is not a Run key.
#include "native/linux/RegistryStore.h"
#include "PlatformTesting.h"
#include "support/FileError.h"
#include "support/TextFile.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;
constexpr auto machine = RegistryRoot::LocalMachine;
constexpr const char *settings = "SOFTWARE\\Kestrum\\Kestrumsoft Runwarden";

class Store : public ::testing::Test {
protected:
  XdgFolders xdg;
  RegistryStore registry{xdg.locations().storeFile};
};

TEST_F(Store, KeysAndNamesIgnoreCaseAndRootsStaySeparate) {
  ASSERT_TRUE(registry.write(machine, settings, "Autostart", "x"));
  EXPECT_TRUE(fs::exists(xdg.store));
  EXPECT_EQ(registry.read(machine, "software\\kestrum\\KESTRUMSOFT RUNWARDEN", "AUTOSTART"), "x");
  EXPECT_FALSE(registry.read(RegistryRoot::CurrentUser, settings, "Autostart"));
  ASSERT_TRUE(
      registry.write(machine, "Software\\Kestrum\\Kestrumsoft Runwarden", "autostart", "y"));
  ASSERT_TRUE(registry.write(machine, settings, "Second", ""));
  EXPECT_EQ(registry.enumerate(machine, settings), (Names{"Autostart", "Second"}));
  EXPECT_EQ(registry.read(machine, settings, "Autostart"), "y");
  EXPECT_EQ(registry.read(machine, settings, "second"), "");
  // Nothing of this reaches the autostart folders.
  EXPECT_FALSE(fs::exists(xdg.user));
}

TEST_F(Store, ValuesOfAnyBytesAndLengthComeBackWhole) {
  std::string everyByte;
  for (int c = 0; c < 256; ++c)
    everyByte += static_cast<char>(c);
  const Names texts = {
      "line\nbreak\r\nand CR LF", "%41 is not A", "a=b=c",   "[not a key]",
      "; not a comment",          " blanks ",     everyByte, std::string(100000, 'z')};
  for (std::size_t i = 0; i < texts.size(); ++i)
    ASSERT_TRUE(registry.write(machine, settings, "v" + std::to_string(i), texts[i]));
  for (const std::string name : {"=", "[x]", ";x", "%25", "a\nb", ""})
    ASSERT_TRUE(registry.write(machine, settings, name, "name " + name));

  RegistryStore fresh(xdg.locations().storeFile);
  for (std::size_t i = 0; i < texts.size(); ++i)
    EXPECT_EQ(fresh.read(machine, settings, "v" + std::to_string(i)), texts[i]) << i;
  for (const std::string name : {"=", "[x]", ";x", "%25", "a\nb", ""})
    EXPECT_EQ(fresh.read(machine, settings, name), "name " + name);
  EXPECT_EQ(fresh.enumerate(machine, settings)->size(), texts.size() + 6);
}

TEST_F(Store, AbsentValuesAndKeysReadAsNothing) {
  EXPECT_FALSE(registry.read(machine, settings, "Autostart")); // no store file at all
  EXPECT_FALSE(registry.enumerate(machine, settings));
  EXPECT_TRUE(registry.remove(machine, settings, "Autostart"));
  EXPECT_FALSE(fs::exists(xdg.store));

  ASSERT_TRUE(registry.write(machine, settings, "Autostart", "x"));
  EXPECT_TRUE(registry.remove(machine, "software\\kestrum\\kestrumsoft runwarden", "autostart"));
  EXPECT_FALSE(registry.read(machine, settings, "Autostart"));
  EXPECT_EQ(registry.enumerate(machine, settings), Names{}); // the key stays, empty
  EXPECT_FALSE(registry.enumerate(machine, "SOFTWARE\\Kestrum"));
}

TEST_F(Store, DamagedLinesAreReadAroundAndKeptInTheirSectionByEveryRewrite) {
  using namespace std::string_literals;
  const std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrum\\Kestrumsoft Runwarden]";
  writeFile(xdg.store, "\0\xFF\n[HKEY_CURRENT_USER\\Other]\no=1\nno equals\n[HKEY_LOCAL_MACHINE\n"
                       "x=1\n[HKEY_NOWHERE\\k]\n"s +
                           key + "\nAutostart=x\n; a note\n%zz=%4");
  EXPECT_EQ(registry.read(machine, settings, "Autostart"), "x");
  EXPECT_EQ(registry.read(machine, settings, "%zz"), "%4");
  EXPECT_FALSE(registry.read(RegistryRoot::CurrentUser, "Other", "x"));
  EXPECT_FALSE(registry.read(machine, "k", "x"));
  // Each change writes the whole file anew; the lines it cannot read stay, once each, in the
  // section they stood in, after its values.
  for (const char *name : {"Other", "Third"})
    ASSERT_TRUE(registry.write(machine, settings, name, "o"));
  ASSERT_TRUE(registry.remove(machine, settings, "Other"));
  const auto lines = textfile::splitLines(*readFile(xdg.store));
  EXPECT_EQ(
      Names(lines.begin() + 1, lines.end()),
      (Names{"\0\xFF"s, "[HKEY_CURRENT_USER\\Other]", "o=1", "no equals", "[HKEY_LOCAL_MACHINE",
             "x=1", "[HKEY_NOWHERE\\k]", key, "Autostart=x", "%25zz=%254", "Third=o", "; a note"}));
  EXPECT_EQ(registry.enumerate(machine, settings), (Names{"Autostart", "%zz", "Third"}));
}

TEST_F(Store, StoreThatCannotBeReadIsAnErrorNeverAnEmptyStore) {
  EXPECT_FALSE(registry.enumerateOrFail(machine, settings)); // no store yet: nothing, no error
  struct Case {
    const char *name;
    std::function<void(const fs::path &)> make;
  };
  const std::vector<Case> cases = {
      {"folder", [](auto &p) { fs::create_directories(p); }},
      {"fifo", [](auto &p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
      {"link to /dev/zero", [](auto &p) { fs::create_symlink("/dev/zero", p); }},
      {"1 GiB of zeros, as a crash may leave",
       [](auto &p) {
         writeFile(p, "");
         ASSERT_EQ(::truncate(p.c_str(), off_t(1) << 30), 0); // sparse: costs no disk
       }},
      {"no read permission",
       [](auto &p) {
         writeFile(p, "[HKEY_CURRENT_USER\\SOFTWARE\\Kestrum\\Kestrumsoft Runwarden]\nA=1\n");
         fs::permissions(p, fs::perms::owner_write);
       }},
  };
  fs::create_directories(xdg.store.parent_path());
  for (const auto &hostile : cases) {
    SCOPED_TRACE(hostile.name);
    if (std::string_view(hostile.name) == "no read permission" && ::geteuid() == 0) {
      std::printf("[   NOTE   ] row \"%s\" not run: root reads any file\n", hostile.name);
      continue;
    }
    hostile.make(xdg.store);
    try {
      registry.enumerateOrFail(machine, settings);
      ADD_FAILURE() << "read as a store without keys";
    } catch (const FileError &error) {
      EXPECT_EQ(error.path(), xdg.store.string());
    }
    EXPECT_FALSE(registry.read(machine, settings, "A"));
    EXPECT_FALSE(registry.write(machine, settings, "Autostart", "x"));
    EXPECT_FALSE(registry.remove(machine, settings, "A"));
    if (!fs::is_symlink(fs::symlink_status(xdg.store))) // never the device's own permissions
      fs::permissions(xdg.store, fs::perms::owner_all);
    fs::remove_all(xdg.store);
  }
}

TEST_F(Store, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int writesEach = 500;
  auto writer = [&](const std::string &prefix) {
    const pid_t child = ::fork();
    if (child == 0) {
      RegistryStore own(xdg.locations().storeFile);
      for (int i = 0; i < writesEach; ++i)
        if (!own.write(machine, settings, prefix + std::to_string(i), std::to_string(i)))
          ::_exit(1);
      ::_exit(0);
    }
    return child;
  };
  const pid_t first = writer("first ");
  const pid_t second = writer("second ");
  for (pid_t child : {first, second}) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const auto names = registry.enumerate(machine, settings);
  ASSERT_TRUE(names);
  EXPECT_EQ(names->size(), 2u * writesEach);
  for (int i = 0; i < writesEach; ++i) {
    EXPECT_EQ(registry.read(machine, settings, "first " + std::to_string(i)), std::to_string(i));
    EXPECT_EQ(registry.read(machine, settings, "second " + std::to_string(i)), std::to_string(i));
  }
}

TEST(XdgLocationsFromEnvironment, FollowTheBaseDirectoryRules) {
  std::map<std::string, std::string> environment = {{"HOME", "/home/u"}};
  auto lookUp = [&](const char *name) -> const char * {
    const auto it = environment.find(name);
    return it == environment.end() ? nullptr : it->second.c_str();
  };
  auto locations = xdgLocations(lookUp);
  EXPECT_EQ(locations.userAutostart, "/home/u/.config/autostart");
  EXPECT_EQ(locations.systemAutostart, Names{"/etc/xdg/autostart"});
  EXPECT_EQ(locations.storeFile, "/home/u/.config/launchwright/registry.ini");

  environment["XDG_CONFIG_HOME"] = "/cfg";
  environment["XDG_CONFIG_DIRS"] = "/a::relative:/b/";
  locations = xdgLocations(lookUp);
  EXPECT_EQ(locations.userAutostart, "/cfg/autostart");
  EXPECT_EQ(locations.systemAutostart, (Names{"/a/autostart", "/b//autostart"}));
  EXPECT_EQ(locations.systemNewEntries, "/a/autostart");
  EXPECT_EQ(locations.storeFile, "/cfg/launchwright/registry.ini");

  // KDE lists a folder of the user's first; new machine entries never go there.
  environment["XDG_CONFIG_DIRS"] = "/home/u/.config/kdedefaults:/etc/xdg";
  EXPECT_EQ(xdgLocations(lookUp).systemNewEntries, "/etc/xdg/autostart");

  environment["XDG_CONFIG_HOME"] = "relative"; // ignored, as the rules say
  EXPECT_EQ(xdgLocations(lookUp).userAutostart, "/home/u/.config/autostart");
}

} // namespace
} // namespace lw::test
