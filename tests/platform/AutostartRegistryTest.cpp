// The Run keys as autostart folders: adding, reading, listing and removing their entries.
#include "PlatformTesting.h"

#include "support/TextFile.h"

#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class AutostartRegistry : public ::testing::Test {
protected:
  XdgFolders xdg;
  XdgStartupState registry{xdg.locations()};

  std::optional<std::string> entryFile(const fs::path &folder, const std::string &name) {
    return readFile(folder / (name + ".desktop"));
  }
  // Every file below the temporary folder with its contents, to prove nothing changed; the
  // lock that changes take is no change.
  std::map<std::string, std::string> snapshot() {
    std::map<std::string, std::string> files;
    for (const auto &item : fs::recursive_directory_iterator(xdg.dir.path()))
      if (item.path().parent_path() != xdg.store.parent_path())
        files[item.path().string()] = item.is_regular_file() ? readFile(item.path()).value() : "";
    files.erase(xdg.store.parent_path().string());
    return files;
  }
};

TEST_F(AutostartRegistry, AwkwardCommandsReadBackExactlyInBothRunKeys) {
  const Names texts = {"/usr/bin/foo --bar \"a b\"",
                       R"("C:\Program Files\x.exe" -switch)",
                       "100% %U %% done",
                       "  blanks  around  ",
                       "line\nbreak and\ttab",
                       R"(back\slash \\ "q\"uote" 'single')",
                       "na\xC3\xAFve \xE4\xF6",
                       std::string(20000, 'x') + " long"};
  for (auto root : {RegistryRoot::CurrentUser, RegistryRoot::LocalMachine}) {
    for (std::size_t i = 0; i < texts.size(); ++i) {
      // Distinct names: a user entry hides a system entry of the same name.
      const std::string name =
          (root == RegistryRoot::CurrentUser ? "value " : "machine ") + std::to_string(i);
      ASSERT_TRUE(registry.write(root, name, texts[i]));
      EXPECT_EQ(registry.commandOf(root, name), texts[i]);
    }
  }
  const auto file = entryFile(xdg.user, "value 0").value();
  EXPECT_NE(file.find("[Desktop Entry]\n"), std::string::npos);
  EXPECT_NE(file.find("\nType=Application\n"), std::string::npos);
  EXPECT_NE(file.find("\nName=value 0\n"), std::string::npos);
  EXPECT_NE(file.find("\nExec=/usr/bin/foo --bar \"a b\"\n"), std::string::npos);
  EXPECT_TRUE(fs::exists(xdg.system / "machine 0.desktop"));
  EXPECT_FALSE(registry.write(RegistryRoot::CurrentUser, "nul", std::string("a\0b", 3)));
}

TEST_F(AutostartRegistry, EnumerationIsInFileNameOrderAndEmptiesCompletely) {
  EXPECT_EQ(registry.names(RegistryRoot::CurrentUser), Names{}); // no folder yet
  for (const char *name : {"b", "a b", "C", "a"})
    ASSERT_TRUE(registry.write(RegistryRoot::CurrentUser, name, "true"));
  writeFile(xdg.user / "notes.txt", "not an entry");
  writeFile(xdg.user / ".desktop", "[Desktop Entry]\nExec=x\n");
  EXPECT_EQ(registry.names(RegistryRoot::CurrentUser), (Names{"C", "a", "a b", "b"}));
  for (const char *name : {"a", "C", "b", "a b"})
    EXPECT_TRUE(registry.remove(RegistryRoot::CurrentUser, name));
  EXPECT_EQ(registry.names(RegistryRoot::CurrentUser), Names{});
  EXPECT_TRUE(registry.remove(RegistryRoot::CurrentUser, "never there"));
}

TEST_F(AutostartRegistry, EntryNamesAreExactFileNames) {
  ASSERT_TRUE(registry.write(RegistryRoot::CurrentUser, "Foo", "foo"));
  EXPECT_TRUE(fs::exists(xdg.user / "Foo.desktop"));
  EXPECT_EQ(registry.commandOf(RegistryRoot::CurrentUser, "Foo"), "foo");
  EXPECT_FALSE(registry.commandOf(RegistryRoot::CurrentUser, "foo"));
  EXPECT_TRUE(registry.remove(RegistryRoot::CurrentUser, "FOO"));
  EXPECT_TRUE(fs::exists(xdg.user / "Foo.desktop"));
}

TEST_F(AutostartRegistry, EveryFileIsAValueExceptTheUsersSwitchOfAMachineEntry) {
  const std::string entry = "[Desktop Entry]\nType=Application\nExec=";
  writeFile(xdg.system / "a.desktop", entry + "a\n");
  writeFile(xdg.system / "b.desktop", entry + "b\nHidden=true\n");
  writeFile(xdg.systemLater / "b.desktop", entry + "b-later\n"); // hidden by the first folder
  writeFile(xdg.system / "d.desktop", entry + "d\n");
  writeFile(xdg.systemLater / "d.desktop", entry + "d-later\n");
  writeFile(xdg.system / "s.desktop", entry + "s\n");
  writeFile(xdg.user / "s.desktop", entry + "s-user\nHidden=true\n"); // the user's opt-out
  writeFile(xdg.system / "u.desktop", entry + "u\n");
  writeFile(xdg.user / "u.desktop", entry + "u-user\n"); // the user's override

  EXPECT_EQ(registry.names(RegistryRoot::LocalMachine), (Names{"a", "b", "d", "s", "u"}));
  EXPECT_EQ(registry.commandOf(RegistryRoot::LocalMachine, "d"), "d");
  EXPECT_EQ(registry.commandOf(RegistryRoot::LocalMachine, "b"), "b");
  EXPECT_EQ(registry.commandOf(RegistryRoot::LocalMachine, "s"), "s");
  EXPECT_EQ(registry.names(RegistryRoot::CurrentUser), (Names{"u"}));
  EXPECT_EQ(registry.commandOf(RegistryRoot::CurrentUser, "u"), "u-user");
  EXPECT_FALSE(registry.commandOf(RegistryRoot::CurrentUser, "s"));

  // Deleting the user key's name of a machine entry's switch must not switch it on.
  const auto before = snapshot();
  EXPECT_TRUE(registry.remove(RegistryRoot::CurrentUser, "s"));
  EXPECT_EQ(snapshot(), before);
  // Deleting a machine value deletes it from every folder, and its switch with it.
  EXPECT_TRUE(registry.remove(RegistryRoot::LocalMachine, "d"));
  EXPECT_FALSE(registry.commandOf(RegistryRoot::LocalMachine, "d"));
  EXPECT_FALSE(fs::exists(xdg.systemLater / "d.desktop"));
  EXPECT_TRUE(registry.remove(RegistryRoot::LocalMachine, "s"));
  EXPECT_TRUE(fs::exists(xdg.user / "s.desktop")); // it had an Exec of its own
}

TEST_F(AutostartRegistry, WritingACommandKeepsEverythingElse) {
  writeFile(xdg.user / "app.desktop", "# made by hand\n[Desktop Entry]\nType=Application\n"
                                      "Name=App\nName[de]=Anwendung\nTryExec=old-app\n"
                                      "Exec=old-app %U\nHidden=true\n"
                                      "X-GNOME-Autostart-enabled=false\nIcon=app\n"
                                      "\n[Desktop Action quit]\nExec=old-app --quit\n");
  ASSERT_TRUE(registry.write(RegistryRoot::CurrentUser, "app", "new-app --tray"));
  EXPECT_EQ(entryFile(xdg.user, "app"),
            "# made by hand\n[Desktop Entry]\nType=Application\nName=App\nName[de]=Anwendung\n"
            "Exec=new-app --tray\nHidden=true\nX-GNOME-Autostart-enabled=false\nIcon=app\n"
            "\n[Desktop Action quit]\nExec=old-app --quit\n");
  // TryExec stays while it names a program the command still runs.
  writeFile(xdg.user / "kept.desktop", "[Desktop Entry]\nTryExec=/bin/kept\nExec=kept -a\n");
  ASSERT_TRUE(registry.write(RegistryRoot::CurrentUser, "kept", "kept -b"));
  EXPECT_EQ(entryFile(xdg.user, "kept"), "[Desktop Entry]\nTryExec=/bin/kept\nExec=kept -b\n");
  // A value name differing in case only is the same Run value: no second entry.
  ASSERT_TRUE(registry.write(RegistryRoot::CurrentUser, "KEPT", "kept -c"));
  EXPECT_FALSE(fs::exists(xdg.user / "KEPT.desktop"));
  EXPECT_EQ(registry.commandOf(RegistryRoot::CurrentUser, "kept"), "kept -c");
  EXPECT_EQ(registry.commandOf(RegistryRoot::CurrentUser, "app"), "new-app --tray");

  // A damaged file under the name is replaced by a valid entry.
  writeFile(xdg.user / "junk.desktop", "\x7F\x45LF\x01\x02 not a key file");
  ASSERT_TRUE(registry.write(RegistryRoot::CurrentUser, "junk", "x"));
  EXPECT_EQ(entryFile(xdg.user, "junk"), "[Desktop Entry]\nType=Application\nName=junk\nExec=x\n");
}

TEST_F(AutostartRegistry, UnsafeNamesChangeNothingAnywhere) {
  writeFile(xdg.dir.path() / "home" / ".config" / "evil.desktop", "[Desktop Entry]\nExec=x\n");
  writeFile(xdg.user / "keep.desktop", "[Desktop Entry]\nExec=keep\n");
  const auto before = snapshot();
  for (const std::string &name :
       Names{"", ".", "..", "../evil", "a/b", "/etc/passwd", "line\nbreak", "tab\t",
             std::string("nul\0", 4), "\x7F", "\x1B[31m"}) {
    for (auto root : {RegistryRoot::CurrentUser, RegistryRoot::LocalMachine}) {
      EXPECT_FALSE(registry.write(root, name, "evil"));
      EXPECT_FALSE(registry.remove(root, name));
      EXPECT_FALSE(registry.commandOf(root, name));
    }
  }
  EXPECT_EQ(snapshot(), before);
}

TEST_F(AutostartRegistry, WriteClearsWhatKilledWritesOfAnyEntryLeftInTheFolder) {
  const std::time_t old = std::time(nullptr) - textfile::staleTemporaryAgeSeconds - 60;
  const struct {
    const char *name;
    bool stale;
    bool removed;
  } cases[] = {
      {"killed.desktop.aB3xYz", true, true},    {".launchwright.Q1w2E3", true, true},
      {"running.desktop.Q1w2E3", false, false}, {"notes.txt.aB3xYz", true, false},
      {"killed.desktop.aB3-Yz", true, false},   {"killed.desktop~", true, false},
  };
  for (const auto &c : cases) {
    writeFile(xdg.user / c.name, "leftover");
    const timespec times[2] = {{old, 0}, {old, 0}};
    if (c.stale) {
      ASSERT_EQ(::utimensat(AT_FDCWD, (xdg.user / c.name).c_str(), times, 0), 0);
    }
  }
  ASSERT_TRUE(registry.write(RegistryRoot::CurrentUser, "other", "other"));
  for (const auto &c : cases)
    EXPECT_EQ(fs::exists(xdg.user / c.name), !c.removed) << c.name;
}

TEST_F(AutostartRegistry, SwitchAndEditFromTwoProcessesKeepBothChanges) {
  constexpr auto user = RegistryRoot::CurrentUser;
  ASSERT_TRUE(registry.write(user, "app", "app 0"));
  const fs::path file = xdg.user / "app.desktop";
  const auto has = [&file](const std::string &line) {
    return readFile(file).value_or("").find("\n" + line + "\n") != std::string::npos;
  };
  // Each process alone changes its part of the file, so each must find it as it left it every
  // time: a change written from a reading taken before the other's would undo that one.
  constexpr int rounds = 30;
  const auto inChild = [](const std::function<bool()> &body) {
    const pid_t child = ::fork();
    if (child == 0)
      ::_exit(body() ? 0 : 1);
    return child;
  };
  const pid_t switcher = inChild([&] {
    XdgStartupState state(xdg.locations());
    for (int round = 1; round <= rounds; ++round) {
      const bool off = round % 2 == 1;
      if (has("Hidden=true") == off || !state.setEnabled(user, "app", !off) ||
          has("Hidden=true") != off)
        return false;
    }
    return true;
  });
  const pid_t editor = inChild([&] {
    XdgStartupState own(xdg.locations());
    for (int round = 1; round <= rounds; ++round)
      if (!has("Exec=app " + std::to_string(round - 1)) ||
          !own.write(user, "app", "app " + std::to_string(round)) ||
          !has("Exec=app " + std::to_string(round)))
        return false;
    return true;
  });
  for (const pid_t child : {switcher, editor}) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << (child == switcher);
  }
  EXPECT_TRUE(has("Exec=app " + std::to_string(rounds)));
  EXPECT_EQ(has("Hidden=true"), rounds % 2 == 1);
}

TEST_F(AutostartRegistry, SystemWriteHiddenByAUserEntryIsNotReportedAsDone) {
  ASSERT_TRUE(registry.write(RegistryRoot::CurrentUser, "app", "app --mine"));
  writeFile(xdg.user / "off.desktop", "[Desktop Entry]\nExec=off\nHidden=true\n");
  const auto before = snapshot();
  // The session would start neither: the user's file of the same name decides.
  EXPECT_FALSE(registry.write(RegistryRoot::LocalMachine, "app", "app --everyone"));
  EXPECT_FALSE(registry.write(RegistryRoot::LocalMachine, "off", "off --everyone"));
  EXPECT_EQ(snapshot(), before);
  // A new machine entry goes to the folder meant for new ones; a known one stays where it is.
  XdgLocations where = xdg.locations();
  where.systemNewEntries = xdg.systemLater.string();
  XdgStartupState elsewhere(where);
  writeFile(xdg.system / "known.desktop", "[Desktop Entry]\nExec=old\n");
  ASSERT_TRUE(elsewhere.write(RegistryRoot::LocalMachine, "fresh", "fresh"));
  ASSERT_TRUE(elsewhere.write(RegistryRoot::LocalMachine, "known", "new"));
  EXPECT_TRUE(fs::exists(xdg.systemLater / "fresh.desktop"));
  EXPECT_EQ(entryFile(xdg.system, "known"), "[Desktop Entry]\nExec=new\n");
  EXPECT_EQ(registry.commandOf(RegistryRoot::CurrentUser, "app"), "app --mine");
}

TEST_F(AutostartRegistry, SystemFolderThatCannotBeCreatedFailsTheWrite) {
  // A file where the folder's parent should be stops even root.
  writeFile(xdg.system.parent_path(), "a file, not a folder");
  EXPECT_FALSE(registry.write(RegistryRoot::LocalMachine, "app", "app"));
  EXPECT_FALSE(registry.commandOf(RegistryRoot::LocalMachine, "app"));
  EXPECT_TRUE(registry.write(RegistryRoot::CurrentUser, "app", "app"));
}

// Runs the body in a child process without the rights of an administrator and gives back its
// answer: as root the child becomes "nobody", otherwise the folder is made read-only.
bool withoutSystemRights(const fs::path &folder, const std::function<bool()> &body) {
  if (::geteuid() != 0)
    fs::permissions(folder,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(2);
    ::_exit(body() ? 1 : 0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  if (::geteuid() != 0)
    fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "could not drop rights";
  return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

TEST_F(AutostartRegistry, SystemEntryWithoutRightsIsNeitherChangedNorDeleted) {
  ASSERT_TRUE(registry.write(RegistryRoot::LocalMachine, "app", "app --old"));
  const auto before = entryFile(xdg.system, "app");
  EXPECT_FALSE(withoutSystemRights(
      xdg.system, [&] { return registry.remove(RegistryRoot::LocalMachine, "app"); }));
  EXPECT_FALSE(withoutSystemRights(
      xdg.system, [&] { return registry.write(RegistryRoot::LocalMachine, "app", "app --new"); }));
  EXPECT_EQ(entryFile(xdg.system, "app"), before);
  EXPECT_EQ(registry.commandOf(RegistryRoot::LocalMachine, "app"), "app --old");
}

} // namespace
} // namespace lw::test
