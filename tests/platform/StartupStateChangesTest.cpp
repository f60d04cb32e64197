// Switching and renaming entries without losing a byte: off means off in every session, on in
// every one, and a new machine entry is read by every user.
#include "StartupStateFixture.h"
#include "SystemdOracle.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

TEST_F(StartupStateTest, SwitchingOffAndOnKeepsEveryOtherByte) {
  const std::string rich = "# mine\n[Desktop Entry]\nType=Application\nName=Rich\n"
                           "Name[de]=Reich\nExec=present -x\nPath=/srv/work dir\nIcon=rich\n"
                           "X-GNOME-Autostart-Delay=5\n\n[Desktop Action quit]\nExec=present -q\n";
  writeFile(xdg.user / "rich.desktop", rich);
  ASSERT_TRUE(state.setEnabled(user, "rich", false));
  EXPECT_EQ(readFile(xdg.user / "rich.desktop"),
            "# mine\n[Desktop Entry]\nType=Application\nName=Rich\nName[de]=Reich\n"
            "Exec=present -x\nPath=/srv/work dir\nIcon=rich\nX-GNOME-Autostart-Delay=5\n"
            "Hidden=true\n\n[Desktop Action quit]\nExec=present -q\n");
  EXPECT_EQ(rows(user)["rich"].verdict, V::Disabled);
  EXPECT_EQ(rows(user)["rich"].workingDirectory, "/srv/work dir");
  ASSERT_TRUE(state.setEnabled(user, "rich", true));
  EXPECT_EQ(readFile(xdg.user / "rich.desktop"), rich);

  // A machine entry is switched off by a user file of its name, which is no row of its own.
  const std::string shared = "[Desktop Entry]\nType=Application\nExec=present\nIcon=x\n";
  writeFile(xdg.systemLater / "shared.desktop", shared);
  ASSERT_TRUE(state.setEnabled(machine, "shared", false));
  // Desktops list the entry from the user's file then: it names and shows it as the machine's.
  EXPECT_EQ(readFile(xdg.user / "shared.desktop"),
            "[Desktop Entry]\nType=Application\nName=shared\nIcon=x\nHidden=true\n");
  writeFile(xdg.system / "blueman.desktop",
            "[Desktop Entry]\nType=Application\nName=Bluetooth\\sApplet\nName[de]=Bluetooth-"
            "Applet\nComment=c\nExec=present\nName[sr@latin]=B\nIcon=blueman\n");
  ASSERT_TRUE(state.setEnabled(machine, "blueman", false));
  EXPECT_EQ(
      readFile(xdg.user / "blueman.desktop"),
      "[Desktop Entry]\nType=Application\nName=Bluetooth\\sApplet\nName[de]=Bluetooth-Applet\n"
      "Name[sr@latin]=B\nIcon=blueman\nHidden=true\n");
  ASSERT_TRUE(state.setEnabled(machine, "blueman", true));
  EXPECT_FALSE(fs::exists(xdg.user / "blueman.desktop"));
  EXPECT_TRUE(state.setEnabled(machine, "shared", false));
  EXPECT_EQ(rows(machine)["shared"].verdict, V::Disabled);
  EXPECT_EQ(rows(machine)["shared"].file, (xdg.user / "shared.desktop").string());
  EXPECT_FALSE(rows(user).contains("shared"));
  // Nor does a user entry written under its name turn that switch into an entry.
  for (const char *name : {"shared", "SHARED"})
    EXPECT_FALSE(state.write(user, name, "present --mine")) << name;
  EXPECT_EQ(readFile(xdg.user / "shared.desktop"),
            "[Desktop Entry]\nType=Application\nName=shared\nIcon=x\nHidden=true\n");
  ASSERT_TRUE(state.rename(machine, "shared", "common"));
  EXPECT_EQ(rows(machine)["common"].verdict, V::Disabled);
  ASSERT_TRUE(state.setEnabled(machine, "common", true));
  EXPECT_EQ(rows(machine)["common"].verdict, V::Starts);
  EXPECT_EQ(readFile(xdg.systemLater / "common.desktop"), shared);
  EXPECT_EQ(fs::directory_iterator(xdg.user)->path().filename(), "rich.desktop");

  // Switched off in its own machine file; and replaced by the user's own copy.
  writeFile(xdg.system / "off.desktop", shared + "Hidden=true\n");
  ASSERT_TRUE(state.setEnabled(machine, "off", true));
  EXPECT_EQ(readFile(xdg.system / "off.desktop"), shared);
  writeFile(xdg.system / "rich.desktop", shared);
  EXPECT_EQ(rows(machine)["rich"].verdict, V::Replaced);
  EXPECT_FALSE(state.setEnabled(machine, "rich", false));

  // The user's own full copy that switches a machine entry off is switched on, never deleted.
  writeFile(xdg.system / "copied.desktop", shared);
  writeFile(xdg.user / "copied.desktop", shared + "Name=Mine\nHidden=true\n");
  ASSERT_TRUE(state.setEnabled(machine, "copied", true));
  EXPECT_EQ(readFile(xdg.user / "copied.desktop"), shared + "Name=Mine\n");
  EXPECT_EQ(rows(machine)["copied"].verdict, V::Replaced);
}

// Off means off in every session: GNOME's reads X-GNOME-Autostart-enabled, systemd's only
// Hidden. On means on in both, with every hand-written line kept that keeps no session from it.
TEST_F(StartupStateTest, SwitchedOffStartsInNoSessionAndSwitchedOnInEvery) {
  const std::string app = "[Desktop Entry]\nType=Application\nExec=present\n# mine\nX-Mine=1\n";
  const std::string gnomeOff = "X-GNOME-Autostart-enabled=false\n";
  struct Case {
    std::string name;
    RegistryRoot root;
    std::string machineFile; // empty: none
    std::string userFile;    // empty: none
    std::string userAfterEnable;
  };
  const std::vector<Case> cases = {
      {"gnome-off", user, "", app + gnomeOff, app},
      {"both-off", user, "", app + gnomeOff + "Hidden=true\n", app},
      {"systemd-yes", user, "", app + "Hidden=yes\n" + gnomeOff, app},
      {"machine-gnome-off", machine, app + gnomeOff, "", ""},
      // A copy of the machine entry as GNOME's settings switch it off.
      {"machine-copy", machine, app, app + gnomeOff, app},
  };
  for (const auto &c : cases) {
    if (!c.machineFile.empty())
      writeFile(xdg.system / (c.name + ".desktop"), c.machineFile);
    if (!c.userFile.empty())
      writeFile(xdg.user / (c.name + ".desktop"), c.userFile);
  }
  // The file a session reads for the entry: the user's of the name, else the machine's.
  const auto decidingFile = [&](const Case &c) {
    const fs::path own = xdg.user / (c.name + ".desktop");
    return fs::exists(own) ? own : xdg.system / (c.name + ".desktop");
  };
  const auto expectEverySession = [&](bool on) {
    std::vector<fs::path> files;
    for (const auto &c : cases)
      files.push_back(decidingFile(c));
    const auto systemd = systemdStarts(xdg.configHome,
                                       xdg.system.parent_path().string() + ":" +
                                           xdg.systemLater.parent_path().string(),
                                       environment["PATH"], xdg.dir.path() / "systemd");
#ifdef LW_GLIB_ORACLE
    const auto glib = askGlib(files, "GNOME", environment["PATH"]);
    ASSERT_EQ(glib.size(), cases.size());
#endif
    for (std::size_t i = 0; i < cases.size(); ++i) {
      SCOPED_TRACE(cases[i].name + (on ? " switched on" : " switched off"));
      // A user file of the name is its own row once it no longer only switches the machine's.
      auto own = rows(user);
      const RunEntry row =
          own.contains(cases[i].name) ? own[cases[i].name] : rows(machine)[cases[i].name];
      EXPECT_EQ(row.verdict, on ? V::Starts : V::Disabled);
#ifdef LW_GLIB_ORACLE
      EXPECT_EQ(glib[i] == "starts", on) << glib[i];
#endif
      if (systemd) {
        EXPECT_EQ(systemd->contains(files[i].string()), on);
      }
    }
  };
  for (const auto &c : cases)
    ASSERT_TRUE(state.setEnabled(c.root, c.name, false)) << c.name;
  expectEverySession(false);
  EXPECT_EQ(readFile(xdg.user / "both-off.desktop"), app + gnomeOff + "Hidden=true\n");
  for (const auto &c : cases)
    ASSERT_TRUE(state.setEnabled(c.root, c.name, true)) << c.name;
  expectEverySession(true);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(readFile(xdg.user / (c.name + ".desktop")).value_or(""), c.userAfterEnable);
    if (!c.machineFile.empty()) {
      EXPECT_EQ(readFile(xdg.system / (c.name + ".desktop")), app);
    }
  }
}

TEST_F(StartupStateTest, RenamingMovesTheFileAndKeepsItsKeys) {
  const std::string tail = "Exec=present\nIcon=i\nHidden=true\n# note\n";
  writeFile(xdg.user / "old.desktop", "[Desktop Entry]\nName=old\nName[de]=alt\n" + tail);
  writeFile(xdg.user / "own.desktop", "[Desktop Entry]\nName=Own Name\n" + tail);
  writeFile(xdg.user / "Taken.desktop", "[Desktop Entry]\nExec=x\n");
  EXPECT_FALSE(state.rename(user, "old", "taken"));
  EXPECT_FALSE(state.rename(user, "missing", "new"));
  EXPECT_FALSE(state.rename(user, "old", "../new"));
  ASSERT_TRUE(state.rename(user, "old", "new"));
  ASSERT_TRUE(state.rename(user, "own", "mine"));
  EXPECT_FALSE(fs::exists(xdg.user / "old.desktop"));
  EXPECT_EQ(readFile(xdg.user / "new.desktop"), "[Desktop Entry]\nName=new\nName[de]=alt\n" + tail);
  EXPECT_EQ(readFile(xdg.user / "mine.desktop"), "[Desktop Entry]\nName=Own Name\n" + tail);
  EXPECT_EQ(rows(user)["new"].verdict, V::Disabled);

  EXPECT_EQ(state.missingProgram("present --x"), std::nullopt);
  EXPECT_EQ(state.missingProgram("lw-absent --x"), "lw-absent");
  EXPECT_EQ(state.missingProgram((bin / "plain-file").string()), (bin / "plain-file").string());
  EXPECT_EQ(state.missingProgram(""), std::nullopt);
}

// Under a private umask a user's new entry stays theirs, and a new machine entry is still read
// by every user's session.
TEST_F(StartupStateTest, NewMachineEntriesAreReadableByEveryUser) {
  const mode_t before = ::umask(077);
  const bool written = state.write(RegistryRoot::LocalMachine, "Shared", "present") &&
                       state.write(RegistryRoot::CurrentUser, "Own", "present --password=secret");
  ::umask(before);
  ASSERT_TRUE(written);
  for (const auto &[file, mode] : {std::pair{xdg.system / "Shared.desktop", 0644u},
                                   std::pair{xdg.user / "Own.desktop", 0600u}}) {
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0) << file;
    EXPECT_EQ(info.st_mode & 0777, mode) << file;
  }
}

// An entry given back from its snapshot is the entry it was: its mode and owner, and a link as
// the link it was while its file is there; a link whose file is gone comes back as a file with
// the bytes it had, and the restore says so. A plain file of the writer's keeps the snapshot
// older versions wrote, so that theirs still read the same.
TEST_F(StartupStateTest, RestoredEntryKeepsItsModeOwnerAndLink) {
  const std::string app = "[Desktop Entry]\nType=Application\nExec=present --token=x\n";
  const fs::path elsewhere = xdg.dir.path() / "apps" / "target.desktop";
  const uid_t nobody = 65534;
  struct Row {
    const char *slip;
    const char *name;
    unsigned mode;
    bool otherOwner;         // root only: the file is another user's
    const char *link;        // the entry is a link that reads so
    bool replaced;           // a newer 0644 file holds the name at the restore
    bool targetGone = false; // the link's file is removed before the restore
  };
  const Row rows[] = {
      {"the mode is not recorded or not given to the written file", "secret", 0600, false, nullptr,
       false},
      {"the file replaced gives its mode in place of the snapshot's", "replaced", 0600, false,
       nullptr, true},
      {"the owner is not given back by root", "theirs", 0640, true, nullptr, false},
      {"a link comes back as a plain file", "linked", 0644, false, "../../../apps/target.desktop",
       false},
      {"a link whose file is gone comes back dangling, or silently as a file", "dangling", 0600,
       false, "../../../apps/target.desktop", false, true},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.slip);
    if (row.otherOwner && ::geteuid() != 0)
      continue; // only root may give a file away
    const fs::path file = xdg.user / (std::string(row.name) + ".desktop");
    const fs::path real = row.link ? elsewhere : file;
    writeFile(real, app + "Name=" + row.name + "\n");
    ASSERT_EQ(::chmod(real.c_str(), row.mode), 0);
    if (row.link)
      fs::create_symlink(row.link, file);
    if (row.otherOwner) {
      ASSERT_EQ(::lchown(file.c_str(), nobody, nobody), 0);
    }
    const auto taken = state.snapshot(user, row.name);
    ASSERT_TRUE(taken);
    ASSERT_TRUE(state.remove(user, row.name));
    if (row.replaced) {
      ASSERT_TRUE(state.write(user, row.name, "present --newer"));
    }
    if (row.targetGone)
      fs::remove(elsewhere);
    const SnapshotRestore restored = state.restoreSnapshot(user, row.name, *taken);
    ASSERT_TRUE(restored);
    struct stat info {};
    ASSERT_EQ(::lstat(file.c_str(), &info), 0);
    EXPECT_EQ(S_ISLNK(info.st_mode), row.link && !row.targetGone);
    if (S_ISLNK(info.st_mode)) {
      EXPECT_EQ(fs::read_symlink(file), row.link);
    } else {
      EXPECT_EQ(info.st_mode & 07777, row.mode);
      EXPECT_EQ(info.st_uid, row.otherOwner ? nobody : ::geteuid());
    }
    EXPECT_EQ(readFile(file), app + "Name=" + row.name + "\n");
    EXPECT_EQ(restored.link, row.targetGone ? file.string() : "");
    EXPECT_EQ(restored.linkTarget, row.targetGone ? row.link : "");
  }

  writeFile(xdg.user / "plain.desktop", app);
  ASSERT_EQ(::chmod((xdg.user / "plain.desktop").c_str(), 0644), 0);
  const std::string folder = xdg.user.string();
  EXPECT_EQ(state.snapshot(user, "plain"), "27:launchwright-xdg-snapshot-1\n1:1\n" +
                                               std::to_string(folder.size()) + ":" + folder + "\n" +
                                               std::to_string(app.size()) + ":" + app + "\n0:\n")
      << "a field written for a plain file of the writer's";
}

// Every file and folder under the test's folders with its bytes, the lock file aside.
std::map<std::string, std::string> everything(const fs::path &top) {
  std::map<std::string, std::string> found;
  for (const auto &item : fs::recursive_directory_iterator(top))
    if (!item.path().string().ends_with(".lock"))
      found[item.path().string()] = item.is_regular_file() ? readFile(item.path()).value() : "/";
  return found;
}

// A restore that cannot be finished takes back what it had done, in every folder: the files it
// wrote and the folders it made for them.
TEST_F(StartupStateTest, ARestoreThatFailsHalfWayLeavesEveryFolderAsItWas) {
  const std::string app = "[Desktop Entry]\nType=Application\nExec=present\n";
  struct Case {
    std::string name;
    std::vector<fs::path> machineFolders; // holding the entry, the deciding one first
    bool switchedOff;                     // by the user's file of the name
    fs::path blocked;                     // a folder stands where the restore writes this
    fs::path gone = {};                   // a folder removed since the snapshot
  };
  const std::vector<Case> cases = {
      {"switch-blocked", {xdg.system}, true, xdg.user / "switch-blocked.desktop"},
      {"later-blocked",
       {xdg.system, xdg.systemLater},
       false,
       xdg.systemLater / "later-blocked.desktop"},
      {"folder-gone",
       {xdg.system},
       true,
       xdg.user / "folder-gone.desktop",
       xdg.system.parent_path()},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto &folder : c.machineFolders)
      writeFile(folder / (c.name + ".desktop"), app + "Name=" + folder.string() + "\n");
    if (c.switchedOff) {
      ASSERT_TRUE(state.setEnabled(machine, c.name, false));
    }
    const auto taken = state.snapshot(machine, c.name);
    ASSERT_TRUE(taken);
    ASSERT_TRUE(state.remove(machine, c.name));
    fs::create_directories(c.blocked);
    if (!c.gone.empty())
      fs::remove_all(c.gone);
    const auto before = everything(xdg.dir.path());
    EXPECT_FALSE(state.restoreSnapshot(machine, c.name, *taken));
    EXPECT_EQ(everything(xdg.dir.path()), before);
  }
}

} // namespace
} // namespace lw::test
