#include "LinuxShell.h"

#include "CommandLine.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lw {
namespace {

// "scheme://..." as in RFC 3986: a letter, then letters, digits, '+', '-' or '.'.
bool isAddress(const std::string &target) {
  const auto colon = target.find("://");
  if (colon == std::string::npos || colon == 0)
    return false;
  for (std::size_t i = 0; i < colon; ++i) {
    const char c = target[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
      return false;
  }
  return true;
}

bool isExecutableFile(const std::string &path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

// The file execv needs: a name with a '/' as it is, any other through PATH. Resolved before
// forking, because the child of a threaded program may only make async-signal-safe calls.
std::string resolveProgram(const std::string &name) {
  if (name.find('/') != std::string::npos)
    return name;
  const char *path = std::getenv("PATH");
  std::string_view rest = path ? path : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    const auto colon = rest.find(':');
    std::string dir(rest.substr(0, colon));
    const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
    if (isExecutableFile(candidate))
      return candidate;
    if (colon == std::string_view::npos)
      return {};
    rest = rest.substr(colon + 1);
  }
}

[[noreturn]] void reportAndExit(int channel, int error) {
  [[maybe_unused]] const auto ignored = ::write(channel, &error, sizeof error);
  ::_exit(127);
}

// Runs in the grandchild: only async-signal-safe calls from here on.
[[noreturn]] void execute(const char *program, char *const *argv, const char *directory,
                          int channel) {
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  for (int signal = 1; signal < NSIG; ++signal)
    ::sigaction(signal, &byDefault, nullptr); // fails harmlessly for KILL and STOP

  if (::chdir(directory) != 0 && ::chdir("/") != 0)
    reportAndExit(channel, errno);
  // The standard three lead nowhere: an output of ours may be a pipe whose reader waits for
  // its end (a "$(rwlaunch)" capture), and a program of the session's outlives us anyway.
  const int nothing = ::open("/dev/null", O_RDWR);
  if (nothing >= 0) {
    for (const int standard : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
      if (nothing != standard)
        ::dup2(nothing, standard);
    if (nothing > STDERR_FILENO)
      ::close(nothing);
  }
  // Every descriptor above the standard three closes on exec, the report channel included.
  if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
    const long limit = ::sysconf(_SC_OPEN_MAX);
    for (int fd = 3; fd < (limit > 0 && limit < 65536 ? limit : 65536); ++fd)
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  ::execv(program, argv);
  reportAndExit(channel, errno);
}

} // namespace

LinuxShell::LinuxShell(std::string homeDirectory, std::string openerProgram)
    : home(std::move(homeDirectory)), opener(std::move(openerProgram)) {}

std::vector<std::string> LinuxShell::commandFor(const std::string &target) const {
  if (isAddress(target))
    return {opener, target};
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0)
    return isExecutableFile(target) ? std::vector<std::string>{target}
                                    : std::vector<std::string>{opener, target};
  return commandline::arguments(target);
}

bool LinuxShell::open(const std::string &target) {
  return start(target, {}, StartStyle::Open).started();
}

StartResult LinuxShell::start(const std::string &command, const std::string &workingDirectory,
                              StartStyle style) {
  const auto arguments =
      style == StartStyle::Open ? commandFor(command) : commandline::arguments(command);
  return startDetachedWithReason(arguments, !workingDirectory.empty() ? workingDirectory
                                            : home.empty()            ? "/"
                                                                      : home);
}

bool startDetached(const std::vector<std::string> &arguments, const std::string &workingDirectory) {
  return startDetachedWithReason(arguments, workingDirectory).started();
}

namespace {

// What exec's error means to a user. EACCES covers both a file without execute permission and
// a folder on the way that may not be searched; only the file itself tells them apart.
StartResult failure(const std::string &program, int error) {
  StartProblem problem = StartProblem::Other;
  switch (error) {
  case ENOENT:
  case ENOTDIR:
  case ENAMETOOLONG:
  case ELOOP:
    problem = StartProblem::ProgramNotFound;
    break;
  case ENOEXEC:
  case EISDIR:
    problem = StartProblem::NotExecutable;
    break;
  case EACCES: {
    struct stat info {};
    const bool exists = ::stat(program.c_str(), &info) == 0;
    problem = exists && (!S_ISREG(info.st_mode) || (info.st_mode & 0111) == 0)
                  ? StartProblem::NotExecutable
                  : StartProblem::PermissionDenied;
    break;
  }
  case EPERM:
    problem = StartProblem::PermissionDenied;
    break;
  default:
    break;
  }
  return {problem, program};
}

} // namespace

StartResult startDetachedWithReason(const std::vector<std::string> &arguments,
                                    const std::string &workingDirectory) {
  if (arguments.empty())
    return {StartProblem::ProgramNotFound, {}};
  const std::string program = resolveProgram(arguments.front());
  if (program.empty())
    return {StartProblem::ProgramNotFound, arguments.front()};
  std::vector<char *> argv;
  for (const auto &argument : arguments)
    argv.push_back(const_cast<char *>(argument.c_str()));
  argv.push_back(nullptr);

  int channel[2];
  if (::pipe2(channel, O_CLOEXEC) != 0)
    return failure(program, errno);
  const pid_t child = ::fork();
  if (child < 0) {
    const int error = errno;
    ::close(channel[0]);
    ::close(channel[1]);
    return failure(program, error);
  }
  if (child == 0) {
    // The middle process leaves at once, so the program is nobody's child of ours and no
    // zombie is left behind; setsid keeps it alive when our terminal or session goes.
    ::close(channel[0]);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild < 0)
      reportAndExit(channel[1], errno);
    if (grandchild > 0)
      ::_exit(0);
    execute(program.c_str(), argv.data(), workingDirectory.c_str(), channel[1]);
  }
  ::close(channel[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  // The channel reaches end of file when exec succeeds; otherwise it carries the error.
  int error = 0;
  ssize_t got;
  while ((got = ::read(channel[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  ::close(channel[0]);
  if (got == 0)
    return {};
  return failure(program, got == static_cast<ssize_t>(sizeof error) ? error : EIO);
}

} // namespace lw
