// The systemd user units source judged by systemd itself: a private user manager reads the same
// unit folders, and systemctl --user says what is enabled and what the manager really started.

#include "native/linux/SystemdUserUnits.h"
#include "PrivateUserManager.h"
#include "native/linux/SystemdInstallProbe.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sys/mount.h>
#include <sys/wait.h>

namespace lw {
namespace {

using test::PrivateUserManager;
using test::systemctlSays;
namespace fs = std::filesystem;

// The user's config folder, the user's data folder (units of packages installed in the home
// directory), the administrator's and the operating system's.
enum class Folder { User, UserData, Admin, Vendor };

struct UnitCase {
  const char *name;
  Folder folder;      // whose unit folder holds the file
  const char *target; // [Install] WantedBy=
  bool linked;        // enabled into the target in the same folder
  bool masked;        // masked by the user
  const LogonReason *reason;
  LogonSwitch switchBy;
  bool allUsers;
  bool systemComponent;
  bool userLinkToo = false; // enabled into the target by the user as well
};

const UnitCase unitCases[] = {
    {"lw-own.service", Folder::User, "default.target", true, false, &SystemdUserUnits::userEnabled,
     LogonSwitch::Enable, false, false},
    {"lw-masked.service", Folder::Vendor, "default.target", true, true, &SystemdUserUnits::masked,
     LogonSwitch::Mask, true, true},
    {"lw-admin.service", Folder::Admin, "default.target", true, false,
     &SystemdUserUnits::adminEnabled, LogonSwitch::Mask, true, false},
    {"lw-vendor.service", Folder::Vendor, "default.target", true, false,
     &SystemdUserUnits::vendorEnabled, LogonSwitch::Mask, true, true},
    {"lw-later.service", Folder::User, "graphical-session.target", false, false,
     &SystemdUserUnits::userDisabled, LogonSwitch::Enable, false, false},
    // disable only takes back links in the config folder: this one is masked instead.
    {"lw-data.service", Folder::UserData, "default.target", true, false,
     &SystemdUserUnits::packageEnabled, LogonSwitch::Mask, false, false},
    // Linked by the administrator and by the user: disable would leave the administrator's link,
    // and the unit would go on starting.
    {"lw-both.service", Folder::Admin, "default.target", true, false,
     &SystemdUserUnits::adminEnabled, LogonSwitch::Mask, true, false, true},
};

// Units that reach the logon other than by a link straight into default.target, and units that
// are pulled in but do not start; each row is judged by systemd. `wants` links the unit into that
// unit's .wants folder of the user; `file` is the unit file's text.
struct ClosureCase {
  const char *name;
  const char *file;
  const char *wants; // "" for none
  StartVerdict verdict;
};

constexpr const char *sleeper = "[Service]\nExecStart=/bin/sleep 1000\n";
const ClosureCase closureCases[] = {
    // Slip: walking only default.target's own links.
    {"lw-inbasic.service", "[Service]\nExecStart=/bin/sleep 1000\n", "basic.target",
     StartVerdict::Starts},
    {"lw-custom.target", "[Unit]\nDescription=custom\n", "default.target", StartVerdict::Starts},
    // Slip: following targets' links but not a custom target's.
    {"lw-incustom.service", sleeper, "lw-custom.target", StartVerdict::Starts},
    // Slip: reading .wants folders instead of asking the manager (a Wants= in a drop-in).
    {"lw-dropin.service", sleeper, "", StartVerdict::Starts},
    // Slips: leaving out sockets, timers or path units.
    {"lw-tick.timer", "[Timer]\nOnCalendar=daily\n", "timers.target", StartVerdict::Starts},
    {"lw-tick.service", "[Service]\nType=oneshot\nExecStart=/bin/true\n", "", StartVerdict::Starts},
    {"lw-sock.socket", "[Socket]\nListenStream=%t/lw-sock\n", "sockets.target",
     StartVerdict::Starts},
    {"lw-sock.service", sleeper, "", StartVerdict::Starts},
    {"lw-watch.path", "[Path]\nPathExists=/lw-nothing-here\n", "paths.target",
     StartVerdict::Starts},
    {"lw-watch.service", sleeper, "", StartVerdict::Starts},
    // Slips: ignoring conditions, or assertions; judging a negated one the wrong way round.
    {"lw-cond.service",
     "[Unit]\nConditionPathExists=/lw-nothing-here\n[Service]\nExecStart=/bin/sleep 1000\n",
     "default.target", StartVerdict::ConditionFails},
    {"lw-assert.service",
     "[Unit]\nAssertPathExists=/lw-nothing-here\n[Service]\nExecStart=/bin/sleep 1000\n",
     "default.target", StartVerdict::ConditionFails},
    {"lw-condok.service",
     "[Unit]\nConditionPathExists=!/lw-nothing-here\n[Service]\nExecStart=/bin/sleep 1000\n",
     "default.target", StartVerdict::Starts},
    // Not started yet (no desktop session here), with a condition only the manager can check.
    // Slip: an unchecked condition taken as holding.
    {"lw-gfx.service", "[Unit]\nConditionHost=lw-no-such-host\n[Service]\nExecStart=/bin/true\n",
     "graphical-session.target", StartVerdict::ConditionUnknown},
    // Slip: a '|' condition that fails taken as the unit's failure though another holds.
    {"lw-either.service",
     "[Unit]\nConditionPathExists=|/lw-nothing-here\nConditionPathIsDirectory=|/\n"
     "[Service]\nExecStart=/bin/sleep 1000\n",
     "default.target", StartVerdict::Starts},
};

class SystemdUserUnitsTest : public ::testing::Test {
protected:
  void SetUp() override {
    work = fs::temp_directory_path() / ("lw-units-" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    const std::string why = manager.prepare(work);
    if (!why.empty())
      GTEST_SKIP() << why;
    for (const auto &unit : unitCases) {
      write(folderOf(unit.folder), unit.name, unit.target, unit.linked);
      if (unit.userLinkToo) {
        const fs::path wants = manager.user / (std::string(unit.target) + ".wants");
        fs::create_directories(wants);
        fs::create_symlink(seenFolderOf(unit.folder) / unit.name, wants / unit.name);
      }
    }
    fs::create_symlink("/dev/null", manager.user / "lw-masked.service");
    // Installable, but into a target that is not reached at logon.
    write(manager.user, "lw-basic.service", "lw-unreached.target", false);
    for (const auto &unit : closureCases) {
      std::ofstream(manager.user / unit.name) << unit.file;
      if (*unit.wants) {
        const fs::path wants = manager.user / (std::string(unit.wants) + ".wants");
        fs::create_directories(wants);
        fs::create_symlink("../" + std::string(unit.name), wants / unit.name);
      }
    }
    fs::create_directories(manager.user / "default.target.d");
    std::ofstream(manager.user / "default.target.d/lw.conf") << "[Unit]\nWants=lw-dropin.service\n";
    // Slips: listing only masks that hide a unit file, or only the user's own units.
    fs::create_symlink("/dev/null", manager.user / "lw-maskonly.service");
    std::ofstream(manager.vendor / "lw-vendoroff.service") << sleeper;
    fs::create_symlink("/dev/null", manager.user / "lw-vendoroff.service");
    // A unit from a generator, as the XDG autostart generator makes them: pulled into
    // default.target, yet already an autostart entry.
    fs::create_directories("/run/systemd/user-generators");
    std::ofstream("/run/systemd/user-generators/lw-generator")
        << "#!/bin/sh\nmkdir -p \"$1/default.target.wants\"\n"
           "printf '[Service]\\nExecStart=/bin/sleep 1000\\n' > \"$1/lw-generated.service\"\n"
           "ln -s ../lw-generated.service \"$1/default.target.wants/lw-generated.service\"\n";
    fs::permissions("/run/systemd/user-generators/lw-generator", fs::perms::owner_all);
    ASSERT_TRUE(manager.start()) << "the private user manager did not reach default.target";
  }

  void TearDown() override {
    manager.stop();
    std::error_code ignored;
    fs::remove_all(work, ignored);
  }

  fs::path folderOf(Folder folder) const {
    return folder == Folder::User       ? manager.user
           : folder == Folder::UserData ? manager.home / ".local/share/systemd/user"
           : folder == Folder::Admin    ? manager.admin
                                        : manager.vendor;
  }

  // Where the manager sees the folder, through the namespace's mounts.
  fs::path seenFolderOf(Folder folder) const {
    return folder == Folder::Admin    ? fs::path("/etc/systemd/user")
           : folder == Folder::Vendor ? fs::path("/usr/lib/systemd/user")
                                      : folderOf(folder);
  }

  static void write(const fs::path &folder, const std::string &name, const std::string &target,
                    bool linked) {
    fs::create_directories(folder);
    std::ofstream(folder / name) << "[Service]\nExecStart=/bin/sleep 1000\n[Install]\nWantedBy="
                                 << target << "\n";
    if (linked) {
      fs::create_directories(folder / (target + ".wants"));
      fs::create_symlink("../" + name, folder / (target + ".wants") / name);
    }
  }

  const LogonItem *find(const LogonSourceListing &listing, const std::string &name) {
    for (const auto &item : listing.items)
      if (item.name == name)
        return &item;
    return nullptr;
  }

  fs::path work;
  PrivateUserManager manager;
  SystemdUserUnits source;
};

TEST_F(SystemdUserUnitsTest, RowsSayWhatTheManagerStartedAtLogon) {
  const auto listing = source.list();
  ASSERT_FALSE(listing.unavailable) << *listing.unavailable;
  for (const auto &unit : unitCases) {
    SCOPED_TRACE(unit.name);
    const LogonItem *item = find(listing, unit.name);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->source, &SystemdUserUnits::description);
    EXPECT_EQ(item->state, systemctlSays("is-enabled", unit.name));
    EXPECT_EQ(item->verdict == StartVerdict::Starts,
              systemctlSays("is-active", unit.name) == "active");
    EXPECT_EQ(item->reason, unit.reason);
    EXPECT_EQ(item->switchBy, unit.switchBy);
    EXPECT_EQ(item->allUsers, unit.allUsers);
    EXPECT_EQ(item->systemComponent, unit.systemComponent);
    EXPECT_EQ(item->canStart, !unit.masked);
    EXPECT_NE(item->detail.find(unit.target), std::string::npos) << item->detail;
    if (!unit.masked) {
      EXPECT_EQ(item->command, "/bin/sleep 1000");
      EXPECT_EQ(fs::path(item->file), seenFolderOf(unit.folder) / unit.name);
    }
  }
  EXPECT_EQ(find(listing, "lw-basic.service"), nullptr);
  EXPECT_EQ(find(listing, "lw-generated.service"), nullptr);
  EXPECT_EQ(systemctlSays("is-active", "lw-generated.service"), "active");
}

// Every service, socket, timer and path unit that systemd's own dependency listing of
// default.target shows is a row, and it starts exactly when systemd started it.
TEST_F(SystemdUserUnitsTest, EveryUnitTheLogonPullsInIsListedAsSystemdStartsIt) {
  const auto listing = source.list();
  ASSERT_FALSE(listing.unavailable) << *listing.unavailable;
  const std::string tree =
      test::systemctlPrints({"list-dependencies", "--plain", "default.target"}) +
      test::systemctlPrints({"list-dependencies", "--plain", "graphical-session.target"});
  for (const auto &unit : closureCases) {
    SCOPED_TRACE(unit.name);
    const std::string name = unit.name;
    const LogonItem *item = find(listing, name);
    if (name.ends_with(".target") ||
        (name.ends_with(".service") && !*unit.wants && name != "lw-dropin.service")) {
      EXPECT_EQ(item, nullptr) << "only what the logon pulls in itself";
      continue;
    }
    EXPECT_NE(tree.find(" " + name + "\n"), std::string::npos) << tree;
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->verdict, unit.verdict);
    // A loaded machine may still be starting what default.target wants when it reports the
    // target reached: a unit that starts is given time to become active.
    const auto active = [&unit] { return systemctlSays("is-active", unit.name) == "active"; };
    EXPECT_EQ(item->verdict == StartVerdict::Starts, item->verdict == StartVerdict::Starts
                                                         ? PrivateUserManager::waitFor(active)
                                                         : active());
    EXPECT_EQ(item->state, systemctlSays("is-enabled", unit.name));
    if (unit.verdict == StartVerdict::ConditionFails) {
      EXPECT_NE(item->condition.find("PathExists=/lw-nothing-here"), std::string::npos);
    }
  }
  // Slip: a state judged from the folders that is-enabled does not print, on any row (the
  // operating system's own units among them).
  for (const auto &item : listing.items)
    EXPECT_EQ(item.state, systemctlSays("is-enabled", item.name)) << item.name;
  const LogonItem *socket = find(listing, "lw-sock.socket");
  ASSERT_NE(socket, nullptr);
  EXPECT_EQ(socket->activationWords, std::vector<std::string>{"lw-sock.service"});
  EXPECT_EQ(socket->command, "/bin/sleep 1000");
  for (const char *masked : {"lw-maskonly.service", "lw-vendoroff.service"}) {
    const LogonItem *item = find(listing, masked);
    ASSERT_NE(item, nullptr) << masked;
    EXPECT_EQ(item->state, systemctlSays("is-enabled", masked));
    EXPECT_EQ(item->switchBy, LogonSwitch::Mask);
    EXPECT_EQ(item->verdict, StartVerdict::Disabled);
  }
}

TEST_F(SystemdUserUnitsTest, SwitchesLeaveTheStateSystemctlReports) {
  const auto before = source.list();
  ASSERT_FALSE(before.unavailable) << *before.unavailable;
  for (const auto &unit : unitCases) {
    SCOPED_TRACE(unit.name);
    const LogonItem *item = find(before, unit.name);
    ASSERT_NE(item, nullptr);
    const bool wasOn = item->verdict == StartVerdict::Starts;
    LogonSourceListing now;
    for (const bool on : {!wasOn, wasOn}) {
      SCOPED_TRACE(on ? "switched on" : "switched off");
      EXPECT_TRUE(source.setEnabled(*item, on));
      const std::string said = systemctlSays("is-enabled", unit.name);
      if (unit.switchBy == LogonSwitch::Mask)
        EXPECT_EQ(said == "masked", !on) << said;
      else
        EXPECT_EQ(said, on ? "enabled" : "disabled");
      now = source.list();
      const LogonItem *row = find(now, unit.name);
      ASSERT_NE(row, nullptr);
      EXPECT_EQ(row->state, said);
      EXPECT_EQ(row->verdict == StartVerdict::Starts, on);
    }
  }
  // Switched on, the unit the session had not started yet starts on demand.
  const auto after = source.list();
  const LogonItem *later = find(after, "lw-later.service");
  ASSERT_NE(later, nullptr);
  ASSERT_TRUE(source.setEnabled(*later, true));
  EXPECT_TRUE(source.start(*later));
  EXPECT_TRUE(PrivateUserManager::waitFor(
      [] { return systemctlSays("is-active", "lw-later.service") == "active"; }));
}

// What systemctl is for the listing's probe of [Install] while it lives: a script bound over it
// in the test's mount namespace.
class SystemctlStandIn {
public:
  SystemctlStandIn(const fs::path &script, const std::string &body) {
    std::ofstream(script) << "#!/bin/sh\n" << body;
    fs::permissions(script, fs::perms::owner_all);
    bound = ::mount(script.c_str(), test::systemctl, nullptr, MS_BIND, nullptr) == 0;
  }
  ~SystemctlStandIn() {
    if (bound)
      ::umount2(test::systemctl, MNT_DETACH);
  }
  SystemctlStandIn(const SystemctlStandIn &) = delete;
  SystemctlStandIn &operator=(const SystemctlStandIn &) = delete;
  bool bound = false;
};

// A manager that stops answering, before the listing or in its middle, and a systemctl that
// hangs make the whole listing give up within its time and say why, rather than wait out each
// of its many calls in turn or show half a listing.
TEST_F(SystemdUserUnitsTest, AManagerThatDoesNotAnswerMakesTheListingGiveUpInTime) {
  constexpr std::chrono::milliseconds limit{1000};
  const fs::path ran = work / "systemctl-ran";
  struct Case {
    const char *name;
    bool pausedBefore;
    std::string systemctl; // the stand-in's script; empty: the real systemctl
  };
  const Case cases[] = {
      {"paused before the listing", true, ""},
      // A call that times out is a manager that does not answer, as a lost connection is.
      {"stops while the listing runs", false,
       "touch '" + ran.string() + "'\nkill -STOP " + std::to_string(manager.process()) + "\n"},
      // The probe of [Install] has what is left of the listing's time, never more.
      {"systemctl hangs", false, "touch '" + ran.string() + "'\nexec sleep 30\n"},
  };
  SystemdUserUnits quick(limit);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(ran);
    std::optional<SystemctlStandIn> standIn;
    if (!c.systemctl.empty()) {
      standIn.emplace(work / "systemctl", c.systemctl);
      ASSERT_TRUE(standIn->bound) << std::strerror(errno);
    }
    manager.pause(c.pausedBefore);
    const auto started = std::chrono::steady_clock::now();
    const auto listing = quick.list();
    const auto took = std::chrono::steady_clock::now() - started;
    manager.pause(false);
    EXPECT_LT(took, limit + std::chrono::milliseconds(700));
    EXPECT_EQ(fs::exists(ran), !c.systemctl.empty()) << "the probe ran";
    ASSERT_TRUE(listing.unavailable);
    EXPECT_NE(listing.unavailable->find("does not answer"), std::string::npos)
        << *listing.unavailable;
    EXPECT_TRUE(listing.items.empty());
  }
}

#ifdef LW_BUILT_PROGRAM
// The built command line on the same manager: every unit in list --json with its switch, and
// disable/enable doing what systemctl then reports.
TEST_F(SystemdUserUnitsTest, TheCommandLineListsAndSwitchesWhatTheManagerHas) {
  const std::string program = test::portableCopy(LW_BUILT_PROGRAM, work / "program");
  const auto run = [&program](const std::string &arguments, int &status) {
    return test::runProgram(program, arguments, status);
  };
  int status = -1;
  const std::string json = run("list --kind systemd-unit --json", status);
  EXPECT_EQ(status, 0);
  for (const auto &unit : unitCases)
    EXPECT_NE(json.find(std::string("{\"kind\":\"systemd-unit\",\"name\":\"") + unit.name + '"'),
              std::string::npos)
        << unit.name << " in " << json;
  EXPECT_NE(json.find("\"switch\":\"mask\""), std::string::npos);
  for (const bool on : {false, true}) {
    run(std::string(on ? "enable" : "disable") + " --kind systemd-unit --name lw-admin.service",
        status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(systemctlSays("is-enabled", "lw-admin.service"), on ? "enabled" : "masked");
  }
}

#endif

TEST(SystemdUserUnitsAlone, WithoutAUserManagerTheSourceIsUnavailable) {
  const fs::path runtime = fs::temp_directory_path() / ("lw-nobus-" + std::to_string(::getpid()));
  fs::create_directories(runtime);
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  SystemdUserUnits source;
  const auto listing = source.list();
  EXPECT_TRUE(listing.unavailable.has_value());
  EXPECT_TRUE(listing.items.empty());
  LogonItem item;
  item.name = "lw-own.service";
  item.switchBy = LogonSwitch::Enable;
  item.canStart = true;
  EXPECT_FALSE(source.setEnabled(item, true));
  EXPECT_FALSE(source.start(item));
  fs::remove_all(runtime);
}

// systemctl's reading of [Install], with time and without. Slip: a probe cut short by its time
// answered as if every unit it had no time for landed in no target (the listing then showed a
// disabled unit as gone).
TEST(SystemdUserUnitsAlone, AnInstallProbeWithoutTimeSaysSoRatherThanNone) {
  const fs::path work = fs::temp_directory_path() / ("lw-probe-" + std::to_string(::getpid()));
  fs::create_directories(work);
  std::ofstream(work / "lw-probe.service")
      << "[Service]\nExecStart=/bin/true\n[Install]\nWantedBy=default.target\n";
  const std::map<std::string, std::string> units{
      {"lw-probe.service", (work / "lw-probe.service").string()}};
  const auto answered = installTargets(units, {"default.target"}, std::chrono::seconds(10));
  if (!fs::exists("/usr/bin/systemctl") && !fs::exists("/bin/systemctl"))
    GTEST_SKIP() << "no systemctl";
  ASSERT_TRUE(answered.has_value());
  EXPECT_EQ(answered->at("lw-probe.service"), std::set<std::string>{"default.target"});
  EXPECT_FALSE(installTargets(units, {"default.target"}, std::chrono::milliseconds(0)));
  fs::remove_all(work);
}

} // namespace
} // namespace lw
