// The applications of the desktop's menu: which files of the XDG application folders it shows,
// under which desktop file ID, with the name and comment in the user's language. GLib's own menu
// (g_app_info_get_all and g_app_info_should_show) judges, where it is installed.
#include "AutostartCorpus.h"
#include "PlatformTesting.h"
#include "native/linux/XdgApplications.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

TEST(XdgApplicationsTest, MenuShowsWhatGlibShowsUnderTheFirstFolderOfEachId) {
  TempDir dir;
  const fs::path home = dir.path() / "home-data" / "applications";
  const fs::path first = dir.path() / "first" / "applications";
  const fs::path later = dir.path() / "later" / "applications";
  const std::string app = "[Desktop Entry]\nType=Application\nExec=sh\n";
  struct File {
    fs::path path;
    std::string bytes;
  };
  const std::vector<File> files = {
      // The user's translation and comment show in German (slip: Name without its translation).
      {home / "editor.desktop",
       app + "Name=Editor\nName[de]=Bearbeiter\nComment=Edits\nComment[de]=Bearbeitet\n"},
      // A subfolder is part of the ID (slip: the file name alone as ID).
      {home / "vendor" / "tool.desktop", app + "Name=Tool\n"},
      // The same ID in a later folder is hidden by the first (slip: the last folder wins).
      {later / "vendor-tool.desktop", app + "Name=Later Tool\n"},
      // Hidden in the first folder hides the ID everywhere (slip: Hidden skipped per file only).
      {first / "masked.desktop", app + "Name=Masked\nHidden=true\n"},
      {later / "masked.desktop", app + "Name=Masked Later\n"},
      // Each excluded: NoDisplay, another desktop only, not on this one, no application, a
      // TryExec missing.
      {first / "quiet.desktop", app + "Name=Quiet\nNoDisplay=true\n"},
      {first / "kde.desktop", app + "Name=KDE only\nOnlyShowIn=KDE;\n"},
      {first / "notgnome.desktop", app + "Name=Not GNOME\nNotShowIn=GNOME;\n"},
      {first / "link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nURL=https://example.org\n"},
      {first / "gone.desktop", app + "Name=Gone\nTryExec=lw-not-there\n"},
      {later / "viewer.desktop", app + "Name=Viewer\nIcon=viewer\n"},
  };
  for (const auto &file : files)
    putFile(file.path, file.bytes);
  std::map<std::string, std::string> environment = {
      {"XDG_DATA_HOME", home.parent_path().string()},
      {"XDG_DATA_DIRS", first.parent_path().string() + ":" + later.parent_path().string()},
      {"XDG_CURRENT_DESKTOP", "GNOME"},
      {"PATH", "/usr/bin:/bin"},
      {"LANG", "de_DE.UTF-8"},
      {"HOME", dir.path().string()}};
  XdgApplications applications([&](const char *name) -> const char * {
    const auto it = environment.find(name);
    return it == environment.end() ? nullptr : it->second.c_str();
  });

  std::set<std::string> ours;
  for (const auto &shown : applications.list())
    ours.insert(shown.id + "\t" + shown.name + "\t" + shown.comment);
  const std::set<std::string> expected = {"editor\tBearbeiter\tBearbeitet", "vendor-tool\tTool\t",
                                          "viewer\tViewer\t"};
  EXPECT_EQ(ours, expected);
  const auto viewer = applications.find("viewer.desktop");
  ASSERT_TRUE(viewer);
  EXPECT_EQ(viewer->icon, "viewer");
  EXPECT_EQ(viewer->command, "sh");
  EXPECT_FALSE(applications.find("nothing"));

#ifdef LW_GLIB_ORACLE
  std::string command = "env -i";
  for (const auto &[name, value] : environment)
    command += " " + name + "='" + value + "'";
  command += " '" + std::string(LW_GLIB_ORACLE) + "' --apps";
  std::set<std::string> glib;
  FILE *pipe = ::popen(command.c_str(), "r");
  char line[512];
  while (pipe && std::fgets(line, sizeof line, pipe))
    glib.emplace(line, std::strlen(line) - 1);
  if (pipe)
    ::pclose(pipe);
  EXPECT_EQ(ours, glib);
#else
  GTEST_SKIP() << "GLib's development files (libglib2.0-dev) are missing: the menu was checked, "
                  "but not against GLib's";
#endif
}

} // namespace
} // namespace lw::test
