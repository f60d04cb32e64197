#pragma once
// The autostart folders of a test, a folder of programs on its PATH and the listing over them,
// shared by the tests of what the session reads and of what switching and renaming write; GLib
// answers for itself where it is installed.
#include "AutostartCorpus.h"
#include "PlatformTesting.h"
#include "native/linux/XdgStartupState.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace lw::test {

using V = StartVerdict;
inline constexpr auto user = RegistryRoot::CurrentUser;
inline constexpr auto machine = RegistryRoot::LocalMachine;
inline const std::string euro = "pr\xE2\x82\xACsent"; // a program whose name has a 3-byte character

class StartupStateTest : public ::testing::Test {
protected:
  StartupStateTest() {
    writeScript(bin / "present", "exit 0\n");
    writeFile(bin / "plain-file", "not a program\n");
    writeScript(bin / euro, "exit 0\n");
    // Folders named like programs: a search passes over them.
    std::filesystem::create_directories(bin / "lw-folder");
    std::filesystem::create_directories(bin / "sh");
    environment["PATH"] = bin.string() + ":/usr/bin:/bin";
    environment["XDG_CURRENT_DESKTOP"] = "GNOME";
  }

  std::map<std::string, RunEntry> rows(RegistryRoot root) {
    std::map<std::string, RunEntry> byName;
    const auto listed = state.entries(root);
    EXPECT_TRUE(listed);
    for (const auto &row : listed.value_or(std::vector<RunEntry>{}))
      byName[row.name] = row;
    return byName;
  }

  XdgFolders xdg;
  std::filesystem::path bin = xdg.dir.path() / "bin";
  std::map<std::string, std::string> environment;
  XdgStartupState state{xdg.locations(), [this](const char *name) -> const char * {
                          const auto it = environment.find(name);
                          return it == environment.end() ? nullptr : it->second.c_str();
                        }};
};

} // namespace lw::test
