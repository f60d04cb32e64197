// impact --record on real sessions: a private systemd user manager whose units burn CPU, and
// plain processes of a session without one. Each burner reports the CPU it used by its own
// account; the recording must agree within a fifth and give the level that amount earns.

#include "PrivateUserManager.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

namespace lw {
namespace {

namespace fs = std::filesystem;
using test::PrivateUserManager;

enum class Started { Yes, SwitchedOff, Never };

struct Case {
  const char *name;
  long burnMs;
  Started started;
  const char *level;
  const char *slip; // what the row catches
};

const Case cases[] = {
    {"lw-high", 1500, Started::Yes, "high", "the waited child's times (cutime) left out: 750 ms"},
    {"lw-medium", 500, Started::Yes, "medium", "ticks taken for milliseconds"},
    {"lw-low", 0, Started::Yes, "low", "a figure of 0 stored as missing (Not measured)"},
    {"lw-off", 1500, Started::SwitchedOff, "none", "a switched-off entry measured"},
    {"lw-never", 1500, Started::Never, "not-measured", "no process found read as 0 ms (Low)"},
};

std::string contentsOf(const fs::path &path) {
  std::ifstream file(path);
  std::stringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// Each case's level and CPU in impact --json against the burner's own account.
void expectLevels(const std::string &program, const fs::path &reports) {
  int status = -1;
  const std::string json = test::runProgram(program, "impact --json", status);
  EXPECT_EQ(status, 0);
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.name) + ": " + c.slip);
    const std::size_t at = json.find(std::string("\"name\":\"") + c.name);
    ASSERT_NE(at, std::string::npos) << json;
    const std::size_t level = json.find("\"level\":\"", at);
    ASSERT_NE(level, std::string::npos);
    EXPECT_EQ(json.substr(level + 9, json.find('"', level + 9) - level - 9), c.level) << json;
    if (c.started != Started::Yes)
      continue;
    const std::size_t cpu = json.find("\"cpu_ms\":", at);
    ASSERT_NE(cpu, std::string::npos);
    const long measured = std::atol(json.c_str() + cpu + 9);
    const long own = std::atol(contentsOf(reports / c.name).c_str());
    EXPECT_LE(std::labs(measured - own), std::max(own / 5, 30L))
        << "measured " << measured << " ms, by its own account " << own << " ms";
  }
}

template <typename Condition> bool waitLong(Condition done) {
  for (int tries = 0; tries < 600; ++tries) {
    if (done())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

bool burnersReported(const fs::path &reports) {
  return fs::exists(reports / "lw-high") && fs::exists(reports / "lw-medium") &&
         fs::exists(reports / "lw-low");
}

// Sets the last start of the customized entry `name` in the portable program's own file, as the
// timer writes it: local time to the minute.
void stampLastStart(const fs::path &program, const std::string &name, const std::string &stamp) {
  const fs::path file = program.parent_path() / "0013cst.ini";
  std::string bytes = contentsOf(file);
  const std::size_t at = bytes.find("\r\n" + name + "\r\n");
  ASSERT_NE(at, std::string::npos) << bytes;
  const std::size_t commandEnd = bytes.find("\r\n", at + 2 + name.size() + 2);
  const std::size_t schedule = commandEnd + 2 + 18;
  bytes.replace(schedule, 12, stamp);
  std::ofstream(file, std::ios::binary) << bytes;
}

std::string nowStamp() {
  const std::time_t now = std::time(nullptr);
  char stamp[16];
  std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M", std::localtime(&now));
  return stamp;
}

fs::path workFolder(const char *what) {
  const fs::path work = fs::temp_directory_path() /
                        ("lw-impact-" + std::string(what) + "-" + std::to_string(::getpid()));
  fs::remove_all(work);
  fs::create_directories(work / "reports");
  return work;
}

// Units wanted by default.target, one disabled, one whose condition keeps it from starting.
TEST(ImpactRecordingTest, UnitsOfAUserManagerGetTheLevelsTheyBurned) {
  const fs::path work = workFolder("systemd");
  PrivateUserManager manager;
  if (const std::string why = manager.prepare(work); !why.empty())
    GTEST_SKIP() << why;
  fs::create_directories(manager.user / "default.target.wants");
  for (const Case &c : cases) {
    const std::string unit = std::string(c.name) + ".service";
    std::ofstream(manager.user / unit)
        << "[Unit]\n"
        << (c.started == Started::Never ? "ConditionPathExists=/nonexistent-lw-impact\n" : "")
        << "[Service]\nExecStart=" << LW_BURNER << ' ' << c.burnMs << ' '
        << (work / "reports" / c.name).string() << "\n[Install]\nWantedBy=default.target\n";
    if (c.started != Started::SwitchedOff)
      fs::create_symlink(manager.user / unit, manager.user / "default.target.wants" / unit);
  }
  ASSERT_TRUE(manager.start());
  ASSERT_TRUE(waitLong([&] { return burnersReported(work / "reports"); }));
  const std::string program = test::portableCopy(LW_BUILT_PROGRAM, work / "program");
  int status = -1;
  test::runProgram(program, "impact --record --seconds 0", status);
  EXPECT_EQ(status, 0);
  expectLevels(program, work / "reports");
  manager.stop();
  fs::remove_all(work);
}

// Autostart entries of a session without systemd: their processes, started after the session's
// leader, found by their program; recorded by the starter as the session starts it at logon.
TEST(ImpactRecordingTest, PlainProcessesOfASessionGetTheLevelsTheyBurned) {
  const fs::path work = workFolder("plain");
  const fs::path bin = work / "bin", reports = work / "reports";
  const fs::path autostart = work / "config/autostart";
  fs::create_directories(bin);
  fs::create_directories(autostart);
  fs::create_directories(work / "run");
  for (const auto &[name, value] :
       {std::pair{"HOME", work.string()},
        {"XDG_CONFIG_HOME", (work / "config").string()},
        {"XDG_CONFIG_DIRS", (work / "xdg").string()},
        {"XDG_DATA_HOME", (work / "data").string()},
        {"XDG_RUNTIME_DIR", (work / "run").string()},
        {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (work / "nobus").string()}})
    ::setenv(name, value.c_str(), 1);
  std::string starts = "cd " + work.string() + "\n", pids;
  for (const Case &c : cases) {
    fs::create_symlink(LW_BURNER, bin / c.name);
    const std::string command = (bin / c.name).string() + ' ' + std::to_string(c.burnMs) + ' ' +
                                (reports / c.name).string();
    std::ofstream(autostart / (std::string(c.name) + ".desktop"))
        << "[Desktop Entry]\nType=Application\nName=" << c.name << "\nExec=" << command << '\n'
        << (c.started == Started::SwitchedOff ? "X-GNOME-Autostart-enabled=false\n" : "");
    if (c.started == Started::Yes) {
      const std::string variable = std::string("P") + std::to_string(&c - cases);
      starts += command + " &\n" + variable + "=$!\n";
      pids += " $" + variable;
    }
  }
  const std::string program = test::portableCopy(LW_BUILT_PROGRAM, work / "program");
  // The recorder as the session starts it at logon: the starter beside the program.
  const fs::path recorder = work / "program" / fs::path(LW_BUILT_STARTER).filename();
  fs::copy_file(LW_BUILT_STARTER, recorder);
  // Customized entries, started here as the timer would: the one it started in this minute is
  // measured, the one it last started years ago is not, although its program runs.
  for (const auto &[name, stamp] :
       {std::pair{"lw-ours", nowStamp()}, {"lw-stale", "202001010000"}}) {
    fs::create_symlink(LW_BURNER, bin / name);
    const std::string command = (bin / name).string() + " 500 " + (reports / name).string();
    int added = -1;
    test::runProgram(program,
                     std::string("add --kind customized --name ") + name + " --command '" +
                         command + "'",
                     added);
    ASSERT_EQ(added, 0);
    stampLastStart(program, name, stamp);
    starts += command + " &\nC" + name[3] + "=$!\n";
    pids += std::string(" $C") + name[3];
  }
  // One that rests through the first samples and works after them, which only the last sample
  // sees.
  fs::create_symlink(LW_BURNER, bin / "lw-late");
  const std::string late = (bin / "lw-late").string() + " 500 " + (reports / "lw-late").string();
  std::ofstream(autostart / "lw-late.desktop")
      << "[Desktop Entry]\nType=Application\nName=lw-late\nExec=" << late << '\n';
  starts += late + " 4500 &\nL=$!\n";
  pids += " $L";
  // Recorded until 10 s into the session: samples at its start (about 2 s in), 4 and 8 s, and
  // the last at 10 s.
  const std::string script =
      starts + "while [ ! -e reports/lw-high ] || [ ! -e reports/lw-medium ] || " +
      "[ ! -e reports/lw-low ] || [ ! -e reports/lw-ours ]; do sleep 0.1; done\n" +
      recorder.string() + " --record --seconds 10\nstatus=$?\nkill" + pids + "\nexit $status\n";
  // The session: a leader of its own, which starts the entries and then the recording.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  const std::vector<std::string> argv = {"/bin/sh", "-c", script};
  const auto args = test::cStrings(argv);
  pid_t leader = 0;
  ASSERT_EQ(::posix_spawn(&leader, "/bin/sh", nullptr, &attributes, args.data(), environ), 0);
  posix_spawnattr_destroy(&attributes);
  int status = -1;
  ASSERT_TRUE(waitLong([&] { return ::waitpid(leader, &status, WNOHANG) == leader; }));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  expectLevels(program, reports);
  const std::string json = test::runProgram(program, "impact --json", status);
  // Slip: the last start not asked, so that any process of the program counts.
  EXPECT_NE(json.find(R"("name":"lw-ours","impact":{"level":"medium")"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("name":"lw-stale","impact":{"level":"not-measured")"), std::string::npos)
      << json;
  // Slip: a process found resting never read again, not even by the last sample.
  EXPECT_NE(json.find(R"("name":"lw-late","impact":{"level":"medium")"), std::string::npos) << json;
  fs::remove_all(work);
}

} // namespace
} // namespace lw
