#include "ChildOutput.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace lw {
namespace {

// More than any answer a source expects: a program that keeps writing is not answering.
constexpr std::size_t largestOutput = 4 * 1024 * 1024;

std::string reason(int error) { return std::generic_category().message(error); }

class Pipe {
public:
  ~Pipe() {
    for (const int end : ends)
      if (end >= 0)
        ::close(end);
  }
  void close(int which) {
    ::close(ends[which]);
    ends[which] = -1;
  }
  int ends[2] = {-1, -1};
};

} // namespace

ChildOutput runForOutput(const std::string &program, const std::vector<std::string> &arguments,
                         std::chrono::milliseconds limit) {
  ChildOutput result;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  Pipe out, err;
  if (::pipe2(out.ends, O_CLOEXEC) != 0 || ::pipe2(err.ends, O_CLOEXEC) != 0) {
    result.failure = reason(errno);
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out.ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err.ends[1], STDERR_FILENO);
  // A group of its own, so that a timeout ends whatever the program started as well.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setpgroup(&attributes, 0);
  // Nothing of this program's signal set-up (an ignored SIGPIPE, a blocked signal) is handed on.
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(program.c_str()));
  for (const auto &argument : arguments)
    argv.push_back(const_cast<char *>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  const int spawned =
      ::posix_spawnp(&child, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) {
    result.failure = program + ": " + reason(spawned);
    return result;
  }
  out.close(1);
  err.close(1);

  const auto left = [&] {
    const auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<long long>(0, rest.count()));
  };
  // Both outputs are read as they come, so that a program that fills one is never stuck on it.
  // An output that has ended is passed over from then on (poll skips a negative descriptor).
  pollfd waits[2] = {{out.ends[0], POLLIN, 0}, {err.ends[0], POLLIN, 0}};
  std::string *into[2] = {&result.output, &result.errors};
  while (result.failure.empty() && (waits[0].fd >= 0 || waits[1].fd >= 0)) {
    const int ready = ::poll(waits, 2, left());
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready <= 0) {
      result.failure = program + ": no answer within " + std::to_string(limit.count()) + " ms";
      break;
    }
    for (int which = 0; which < 2 && result.failure.empty(); ++which) {
      if (waits[which].fd < 0 || waits[which].revents == 0)
        continue;
      char buffer[4096];
      const ssize_t got = ::read(waits[which].fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR)
        continue;
      if (got <= 0)
        waits[which].fd = -1;
      else if (result.output.size() + result.errors.size() + static_cast<std::size_t>(got) >
               largestOutput)
        result.failure = program + ": more output than expected";
      else
        into[which]->append(buffer, static_cast<std::size_t>(got));
    }
  }

  int status = 0;
  while (result.failure.empty()) {
    const pid_t ended = ::waitpid(child, &status, WNOHANG);
    if (ended == child)
      break;
    if (ended < 0 && errno != EINTR) {
      result.failure = reason(errno);
      return result;
    }
    if (left() == 0)
      result.failure = program + ": no answer within " + std::to_string(limit.count()) + " ms";
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!result.failure.empty()) {
    ::kill(-child, SIGKILL);
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return result;
  }
  if (WIFEXITED(status))
    result.exitCode = WEXITSTATUS(status);
  else
    result.failure = program + ": ended by signal " + std::to_string(WTERMSIG(status));
  return result;
}

} // namespace lw
