// The portable and the installed layout of the Windows flavour: the marker the installer puts
// beside the program decides, and the user's files then go to their AppData folder.
#include "Fakes.h"
#include "native/windows/WindowsLocation.h"
#include "support/WideText.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace lw {
namespace {

namespace fs = std::filesystem;

TEST(InstallLayout, TheMarkerBesideTheProgramDecidesTheLayout) {
  test::TempDir dir;
  const std::string root = dir.str() + "\\";
  // Folder names are UTF-8 here, as everywhere in the program; the file system sees UTF-16.
  const auto folder = [&](const std::string &name) {
    return fs::path(wide::fromUtf8(root + name));
  };
  for (const char *name : {"portable", "installed", "Programme für alle", "odd"})
    fs::create_directories(folder(name));
  std::ofstream(folder("portable") / "0013trl.ini") << "";
  for (const char *name : {"installed", "Programme für alle"})
    std::ofstream(folder(name) / installedMarker) << "";
  fs::create_directories(folder("odd") / installedMarker); // a folder is no marker

  const std::string appData = "C:\\users\\ann\\AppData\\Roaming";
  const struct {
    const char *folder;
    std::string appData;
    std::string user; // empty: portable
  } cases[] = {
      {"portable", appData, ""},
      {"installed", appData, appData + "\\Launchwright"},
      {"installed", appData + "\\", appData + "\\Launchwright"},
      {"Programme für alle", appData, appData + "\\Launchwright"},
      {"installed", "", ""},
      {"odd", appData, ""},
  };
  for (const auto &c : cases) {
    const ProgramLayout layout = decideLayout(root + c.folder + "\\launchwright.exe", c.appData);
    EXPECT_EQ(layout.portable(), c.user.empty()) << c.folder << " with " << c.appData;
    EXPECT_EQ(layout.user, c.user) << c.folder << " with " << c.appData;
    // The shipped files and the starter stay beside the program.
    EXPECT_EQ(layout.shipped, "");
    EXPECT_EQ(layout.starter, "");
  }
  EXPECT_TRUE(decideLayout("launchwright.exe", appData).portable());
}

TEST(InstallLayout, UsersFilesGoWhereTheShellKeepsTheirAppData) {
  // Windows (and Wine) sets APPDATA for every process from the same shell folder.
  const char *appData = std::getenv("APPDATA");
  ASSERT_NE(appData, nullptr);
  EXPECT_EQ(roamingAppDataFolder(), appData);
  // This test program has no marker beside it.
  EXPECT_TRUE(WindowsLocation().layout().portable());
}

} // namespace
} // namespace lw
