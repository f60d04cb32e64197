#pragma once
// A session bus of the test's own, and on it, when asked, the notification service
// notification-capture. The bus reads a configuration of its own (no service files, so nothing
// of the machine is started on it); DBUS_SESSION_BUS_ADDRESS names it for the test process and
// everything it starts, until the bus goes. POSIX only.

#include "CStrings.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char **environ;

namespace lw::test {

class PrivateSessionBus {
public:
  // Starts the bus with its socket in `folder` (an empty temporary folder); empty when it runs,
  // otherwise why it does not.
  std::string start(const std::filesystem::path &folder) {
    work = folder;
    const auto config = work / "session.conf";
    const auto socket = work / "bus";
    std::ofstream(config) << "<busconfig><type>session</type><listen>unix:path=" << socket.string()
                          << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                             "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                             "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
    bus = spawn(
        {"/usr/bin/dbus-daemon", "--config-file=" + config.string(), "--nofork", "--nopidfile"});
    if (!bus || !waitFor([&] { return std::filesystem::exists(socket); }))
      return "dbus-daemon did not start";
    if (const char *before = std::getenv("DBUS_SESSION_BUS_ADDRESS"))
      previousAddress = before;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + socket.string()).c_str(), 1);
    return {};
  }

  // Uses the bus the process already has (a private service manager's) instead of one of its
  // own; the capture's file goes to `folder`.
  void useCurrentBus(const std::filesystem::path &folder) { work = folder; }

  // Starts `program` (notification-capture) on the bus, saying these capabilities (its own when
  // none), and waits until it owns the service's name; false when it did not.
  bool startCapture(const std::string &program, const std::vector<std::string> &capabilities = {}) {
    std::vector<std::string> argv = {program, captureFile().string()};
    argv.insert(argv.end(), capabilities.begin(), capabilities.end());
    capture = spawn(argv);
    return capture && waitFor([&] { return std::filesystem::exists(captureFile()); });
  }

  // The notifications the service was sent, one JSON line each.
  std::vector<std::string> captured() const {
    std::vector<std::string> lines;
    std::ifstream in(captureFile());
    for (std::string line; std::getline(in, line);)
      lines.push_back(line);
    return lines;
  }

  // Presses the button `key` of notification `id` ("default" is its body), as gdbus would for
  // a user; true when the service took it.
  bool invoke(unsigned id, const std::string &key) const {
    return run({"/usr/bin/gdbus", "call", "--session", "--dest", "org.freedesktop.Notifications",
                "--object-path", "/org/freedesktop/Notifications", "--method",
                "org.launchwright.NotificationCapture.Invoke", std::to_string(id), key}) == 0;
  }

  // The service keeps its name but answers nothing more, as a hung one would.
  void freezeCapture() const {
    if (capture)
      ::kill(capture, SIGSTOP);
  }

  ~PrivateSessionBus() {
    for (const pid_t child : {capture, bus})
      if (child) {
        ::kill(child, SIGKILL); // a stopped process goes too
        ::waitpid(child, nullptr, 0);
      }
    if (previousAddress)
      ::setenv("DBUS_SESSION_BUS_ADDRESS", previousAddress->c_str(), 1);
    else if (bus)
      ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }

private:
  std::filesystem::path captureFile() const { return work / "notifications.jsonl"; }

  static pid_t spawn(const std::vector<std::string> &argv) {
    const auto args = cStrings(argv);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? child : 0;
  }

  static int run(const std::vector<std::string> &argv) {
    const pid_t child = spawn(argv);
    int status = 0;
    if (!child || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
      return -1;
    return WEXITSTATUS(status);
  }

  template <typename Condition> static bool waitFor(Condition condition) {
    for (int tries = 0; tries < 500; ++tries) {
      if (condition())
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::filesystem::path work;
  pid_t bus = 0;
  pid_t capture = 0;
  std::optional<std::string> previousAddress;
};

} // namespace lw::test
