// fork and exec in a temporary HOME and XDG folders; the marker lives in the registry store.
#include "ProgramSession.h"

#include "native/linux/RegistryStore.h"
#include "support/ProgramValues.h"
#include "support/Toolbox.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace lw::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const char *const ProgramSession::ranLine = "ran\n";

ProgramSession::ProgramSession() {
  fs::create_directories(home);
  fs::create_directories(runtime);
  fs::permissions(runtime, fs::perms::owner_all);
  fs::copy_file(LW_BUILT_PROGRAM, program.dir.path() / "launchwright");
}

ProgramSession::~ProgramSession() = default;

Process ProgramSession::start(const std::vector<std::string> &arguments) const {
  const std::string executable = (program.dir.path() / "launchwright").string();
  std::vector<std::string> words = {executable};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char *> argv;
  for (auto &word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", (program.dir.path() / "xdg").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::execv(executable.c_str(), argv.data());
    ::_exit(127);
  }
  return child;
}

void ProgramSession::leaveLogonMarker() const {
  RegistryStore((config / "launchwright" / "registry.ini").string())
      .write(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart", "x");
}

bool ProgramSession::logonMarkerLeft() const {
  return RegistryStore((config / "launchwright" / "registry.ini").string())
      .read(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart")
      .has_value();
}

std::string ProgramSession::appendRan(const fs::path &file) {
  return "/bin/sh -c \"echo ran >> '" + file.string() + "'\"";
}

// A crashed instance's socket is still there.
void ProgramSession::leaveCrashedInstance() const {
  const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (runtime / "launchwright.socket").string();
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(stale, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
  ::close(stale);
}

std::optional<int> exitCode(Process process) {
  int status = 0;
  if (::waitpid(static_cast<pid_t>(process), &status, WNOHANG) != process)
    return std::nullopt;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int waitForExit(Process process, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (const auto code = exitCode(process))
      return *code;
    std::this_thread::sleep_for(50ms);
  }
  ::kill(static_cast<pid_t>(process), SIGKILL);
  ::waitpid(static_cast<pid_t>(process), nullptr, 0);
  return -1;
}

void askToEnd(Process process) { ::kill(static_cast<pid_t>(process), SIGTERM); }

} // namespace lw::test
