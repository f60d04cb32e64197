#pragma once
// A systemd user manager of the test's own: a session bus and `systemd --user` in temporary
// XDG folders, started by the test process after it moved into a mount namespace of its own.
// There the administrator's and the operating system's unit folders (/etc/systemd/user,
// /usr/lib/systemd/user) are temporary copies the test may write to, and the real ones stay
// untouched. Needs root; says why when it cannot run.

#include "CStrings.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sched.h>
#include <spawn.h>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace lw::test {

namespace fs = std::filesystem;

inline constexpr const char *userManager = "/lib/systemd/systemd";
inline constexpr const char *busDaemon = "/usr/bin/dbus-daemon";
inline constexpr const char *systemctl = "/usr/bin/systemctl";

// Starts a program in the background with the process's environment; its id, or 0.
inline pid_t spawnQuietly(const std::vector<std::string> &argv) {
  const auto args = cStrings(argv);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (const int descriptor : {0, 1, 2})
    posix_spawn_file_actions_addopen(&actions, descriptor, "/dev/null", O_RDWR, 0);
  pid_t child = 0;
  const int spawned = ::posix_spawn(&child, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? child : 0;
}

// What systemctl --user prints for these arguments.
inline std::string systemctlPrints(const std::vector<std::string> &arguments) {
  std::vector<const char *> args = {systemctl, "--user"};
  for (const auto &argument : arguments)
    args.push_back(argument.c_str());
  args.push_back(nullptr);
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0)
    return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  pid_t child = 0;
  const int spawned = ::posix_spawn(&child, systemctl, &actions, nullptr,
                                    const_cast<char **>(args.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeEnds[1]);
  std::string output;
  char buffer[256];
  for (ssize_t got; spawned == 0 && (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
    output.append(buffer, static_cast<std::size_t>(got));
  ::close(pipeEnds[0]);
  if (spawned == 0)
    ::waitpid(child, nullptr, 0);
  return output;
}

// The first line systemctl --user prints for `verb unit`: "enabled", "active", ...
inline std::string systemctlSays(const std::string &verb, const std::string &unit) {
  std::vector<std::string> arguments = {verb};
  if (!unit.empty())
    arguments.push_back(unit);
  const std::string output = systemctlPrints(arguments);
  return output.substr(0, output.find('\n'));
}

// The built program with its language file and settings, copied into a folder of the test's own:
// there it keeps its own files (the backup file) beside itself, as a portable copy does.
inline std::string portableCopy(const fs::path &built, const fs::path &folder) {
  fs::create_directories(folder);
  for (const char *name : {"0013trl.ini", "config.ini", "0013cst.ini", "0013bkp.ini"})
    if (fs::exists(built.parent_path() / name))
      fs::copy_file(built.parent_path() / name, folder / name);
  fs::copy_file(built, folder / built.filename());
  return (folder / built.filename()).string();
}

// What the program prints for the arguments; `status` is its exit status.
inline std::string runProgram(const std::string &program, const std::string &arguments,
                              int &status) {
  std::string out;
  FILE *pipe = ::popen((program + " " + arguments + " 2>/dev/null").c_str(), "r");
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    out.append(buffer, n);
  status = WEXITSTATUS(::pclose(pipe));
  return out;
}

class PrivateUserManager {
public:
  // Empty when the manager runs; otherwise why it cannot.
  std::string prepare(const fs::path &work) {
    if (::geteuid() != 0)
      return "a private systemd --user in a mount namespace needs root";
    for (const char *program : {userManager, busDaemon, systemctl})
      if (!fs::exists(program))
        return std::string(program) + " is not installed";
    for (const char *folder : {"/run/systemd", "/etc/systemd/user", "/usr/lib/systemd/user"})
      if (!fs::is_directory(folder))
        return std::string(folder) + " is missing";
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr))
      return std::string("unshare refused: ") + std::strerror(errno);
    // An empty /run/systemd/system is what tells systemd --user that systemd runs the machine.
    if (::mount("tmpfs", "/run/systemd", "tmpfs", 0, nullptr) != 0)
      return std::string("cannot mount /run/systemd: ") + std::strerror(errno);
    fs::create_directories("/run/systemd/system");
    mounted.push_back("/run/systemd");
    admin = work / "admin";
    vendor = work / "vendor";
    fs::create_directories(admin);
    fs::copy("/usr/lib/systemd/user", vendor,
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    for (const auto &[from, over] :
         {std::pair{admin, "/etc/systemd/user"}, std::pair{vendor, "/usr/lib/systemd/user"}}) {
      if (::mount(from.c_str(), over, nullptr, MS_BIND, nullptr) != 0)
        return std::string("cannot bind ") + over + ": " + std::strerror(errno);
      mounted.push_back(over);
    }

    runtime = work / "run";
    home = work / "home";
    user = home / ".config/systemd/user";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    fs::create_directories(user);
    fs::create_directories(work / "xdg-config");
    fs::create_directories(work / "xdg-data");
    for (const auto &[name, value] :
         {std::pair{"HOME", home.string()},
          {"XDG_RUNTIME_DIR", runtime.string()},
          {"XDG_CONFIG_HOME", (home / ".config").string()},
          {"XDG_DATA_HOME", (home / ".local/share").string()},
          {"XDG_CONFIG_DIRS", (work / "xdg-config").string()},
          {"XDG_DATA_DIRS", (work / "xdg-data").string()},
          {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (runtime / "bus").string()}})
      ::setenv(name, value.c_str(), 1);
    return {};
  }

  // Starts the bus and the manager and waits until it has reached default.target.
  bool start() {
    bus = spawnQuietly({busDaemon, "--session", "--nofork", "--nopidfile",
                        "--address=unix:path=" + (runtime / "bus").string()});
    if (!bus || !waitFor([&] { return fs::exists(runtime / "bus"); }))
      return false;
    manager = spawnQuietly({userManager, "--user"});
    // Reached, and done with its start-up jobs: a loaded machine may report default.target
    // before every unit it wants has started.
    return manager &&
           waitFor([] { return systemctlSays("is-active", "default.target") == "active"; }) &&
           waitFor([] {
             const std::string state = systemctlSays("is-system-running", "");
             return state == "running" || state == "degraded";
           });
  }

  ~PrivateUserManager() { stop(); }

  // Before the temporary folders go: the manager and the bus live in them.
  void stop() {
    // Without a cgroup of its own the manager would leave its services running if it were
    // killed; asked to exit, it stops them first.
    if (manager > 0)
      systemctlSays("exit", "");
    for (const pid_t child : {manager, bus})
      if (child > 0) {
        ::kill(child, SIGTERM);
        if (!waitFor([child] { return ::waitpid(child, nullptr, WNOHANG) == child; })) {
          ::kill(child, SIGKILL);
          ::waitpid(child, nullptr, 0);
        }
      }
    manager = bus = 0;
    for (auto folder = mounted.rbegin(); folder != mounted.rend(); ++folder)
      ::umount2(folder->c_str(), MNT_DETACH);
    mounted.clear();
  }

  // Stops the manager where it is, as a manager that hangs would be, or lets it go on.
  void pause(bool paused) const {
    if (manager > 0)
      ::kill(manager, paused ? SIGSTOP : SIGCONT);
  }

  template <typename Condition> static bool waitFor(Condition done) {
    for (int tries = 0; tries < 200; ++tries) {
      if (done())
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  pid_t process() const { return manager; }

  fs::path user, admin, vendor, runtime, home;

private:
  pid_t bus = 0, manager = 0;
  std::vector<std::string> mounted;
};

} // namespace lw::test
