// Switching systemd user units off and back on, judged by a private user manager and by the links
// in every unit folder: a round trip leaves each link as it was, byte for byte, and systemctl
// --user is-enabled says what it said before.

#include "PrivateUserManager.h"
#include "native/linux/SystemdUserUnits.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <vector>

namespace lw {
namespace {

using test::PrivateUserManager;
using test::systemctlSays;
namespace fs = std::filesystem;

// How each unit was switched on before the test switches it.
struct Situation {
  const char *name;
  LogonSwitch switchBy;
};

const Situation situations[] = {
    {"lw-plain.service", LogonSwitch::Enable},   // systemctl --user enable
    {"lw-linked.service", LogonSwitch::Enable},  // systemctl --user link, then enable
    {"lw-tpl@two.service", LogonSwitch::Enable}, // an instance of a template
    {"lw-hand.service", LogonSwitch::Enable},    // linked by hand, no [Install]
    {"lw-dropin.service", LogonSwitch::Enable},  // [Install] in a drop-in
    {"lw-runtime.service", LogonSwitch::Enable}, // enable --runtime
    {"lw-copy.service", LogonSwitch::Mask},      // the user's copy of a unit a package enabled
};

class SystemdSwitchTest : public ::testing::Test {
protected:
  void SetUp() override {
    work = fs::temp_directory_path() / ("lw-switch-" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    const std::string why = manager.prepare(work);
    if (!why.empty())
      GTEST_SKIP() << why;
    const fs::path user = manager.user;
    write(user / "lw-plain.service", true);
    write(work / "elsewhere/lw-linked.service", true);
    std::ofstream(user / "lw-tpl@.service")
        << "[Service]\nExecStart=/bin/sleep 1000 %i\n[Install]\nWantedBy=default.target\n"
           "DefaultInstance=one\n";
    write(user / "lw-hand.service", false);
    fs::create_directories(user / "default.target.wants");
    fs::create_symlink("../lw-hand.service", user / "default.target.wants/lw-hand.service");
    write(user / "lw-dropin.service", false);
    fs::create_directories(user / "lw-dropin.service.d");
    std::ofstream(user / "lw-dropin.service.d/install.conf")
        << "[Install]\nWantedBy=default.target\n";
    write(user / "lw-runtime.service", true);
    // Enabled by the operating system's package, and copied by the user to change it.
    for (const char *name : {"lw-copy.service", "lw-stuck.service"}) {
      write(manager.vendor / name, true);
      fs::create_directories(manager.vendor / "default.target.wants");
      fs::create_symlink(std::string("../") + name, manager.vendor / "default.target.wants" / name);
      write(user / name, true);
    }
    // Where a mask of lw-stuck.service could go instead, a file of the user's stands too.
    write(user.parent_path() / "user.control/lw-stuck.service", true);
    ASSERT_TRUE(manager.start()) << "the private user manager did not reach default.target";
    for (const std::string &command : std::vector<std::string>{
             "enable lw-plain.service", "link " + (work / "elsewhere/lw-linked.service").string(),
             "enable lw-linked.service", "enable lw-tpl@two.service", "enable lw-dropin.service",
             "enable --runtime lw-runtime.service"})
      ASSERT_EQ(std::system(("/usr/bin/systemctl --user -q " + command + " 2>/dev/null").c_str()),
                0)
          << command;
  }

  void TearDown() override {
    manager.stop();
    std::error_code ignored;
    fs::remove_all(work, ignored);
  }

  static void write(const fs::path &file, bool install) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "[Service]\nExecStart=/bin/sleep 1000\n"
                        << (install ? "[Install]\nWantedBy=default.target\n" : "");
  }

  // Every link of every unit folder the manager reads from, the runtime ones too: path -> target.
  std::map<std::string, std::string> links() const {
    std::map<std::string, std::string> found;
    for (const fs::path &folder :
         {manager.home / ".config", manager.runtime / "systemd", manager.admin, manager.vendor}) {
      std::error_code error;
      for (auto at = fs::recursive_directory_iterator(folder, error);
           at != fs::recursive_directory_iterator(); at.increment(error))
        // The manager's own notes on its units (invocation ids) are no unit folder's links.
        if (at->is_symlink(error) && at->path().parent_path().filename() != "units")
          found[at->path().string()] = fs::read_symlink(at->path(), error).string();
    }
    return found;
  }

  std::optional<LogonItem> listed(const std::string &name) {
    for (auto &item : source.list().items)
      if (item.name == name)
        return item;
    return std::nullopt;
  }

  fs::path work;
  PrivateUserManager manager;
  SystemdUserUnits source;
};

TEST_F(SystemdSwitchTest, SwitchingOffAndOnPutsBackExactlyTheLinksThatWereThere) {
  // A row that fails ends its own round trip only.
  const auto roundTrip = [this](const Situation &situation) {
    const auto item = listed(situation.name);
    ASSERT_TRUE(item);
    ASSERT_EQ(item->switchBy, situation.switchBy);
    const auto before = links();
    const std::string said = systemctlSays("is-enabled", situation.name);
    EXPECT_FALSE(source.planSwitch(*item, false).refusal);
    ASSERT_TRUE(source.setEnabled(*item, false));
    const std::string off = systemctlSays("is-enabled", situation.name);
    EXPECT_TRUE(situation.switchBy == LogonSwitch::Mask ? off == "masked"
                                                        : !off.starts_with("enabled"))
        << off;
    // Only links that pull the unit in go, and only a mask comes.
    const auto during = links();
    for (const auto &[path, target] : before) {
      EXPECT_TRUE(during.contains(path) || path.find(".target.wants/") != std::string::npos)
          << path;
    }
    for (const auto &[path, target] : during) {
      EXPECT_TRUE(before.contains(path) || target == "/dev/null") << path;
    }
    const auto switchedOff = listed(situation.name);
    ASSERT_TRUE(switchedOff) << "gone from the list once switched off";
    EXPECT_EQ(switchedOff->verdict, StartVerdict::Disabled);
    ASSERT_TRUE(source.setEnabled(*switchedOff, true));
    EXPECT_EQ(links(), before);
    EXPECT_EQ(systemctlSays("is-enabled", situation.name), said);
  };
  for (const auto &situation : situations) {
    SCOPED_TRACE(situation.name);
    roundTrip(situation);
  }
}

#ifdef LW_BUILT_PROGRAM
// The built command line: a switch-off leaves a backup record that restore puts back exactly, and
// a switch that cannot be carried out whole is refused with exit 2, changing nothing.
TEST_F(SystemdSwitchTest, TheCommandLineRecordsRestoresAndRefusesWhole) {
  const std::string program = test::portableCopy(LW_BUILT_PROGRAM, work / "program");
  int status = -1;
  const auto run = [&](const std::string &arguments) {
    return test::runProgram(program, arguments + " --kind systemd-unit", status);
  };
  for (const char *name : {"lw-linked.service", "lw-copy.service"}) {
    SCOPED_TRACE(name);
    const auto before = links();
    const std::string said = systemctlSays("is-enabled", name);
    run(std::string("disable --name ") + name);
    ASSERT_EQ(status, 0);
    EXPECT_NE(links(), before);
    // Slip: the record's kind shown as its bare word rather than the kind's label.
    EXPECT_NE(test::runProgram(program, "restore --list", status).find("\tsystemd unit\t"),
              std::string::npos);
    test::runProgram(program, "restore 1", status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(links(), before);
    EXPECT_EQ(systemctlSays("is-enabled", name), said);
  }

  // No place for a mask; a file where a link taken back would return.
  const auto stuck = links();
  run("disable --name lw-stuck.service");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(links(), stuck);
  EXPECT_EQ(systemctlSays("is-active", "lw-stuck.service"), "active");
  run("disable --name lw-plain.service");
  ASSERT_EQ(status, 0);
  std::ofstream(manager.user / "default.target.wants/lw-plain.service") << "mine\n";
  const auto taken = links();
  run("enable --name lw-plain.service");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(links(), taken);
  EXPECT_EQ(test::runProgram(program, "restore --list", status).find("lw-stuck"), std::string::npos)
      << "a refused switch leaves no record";
}
#endif

} // namespace
} // namespace lw
