// Runs the program with fork and execve, in an environment of the installation's own.
#include "CStrings.h"
#include "Installation.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lw::test {

Installation::~Installation() = default;

// The registry is a file of the installation's own configuration folder here.
std::vector<std::string> Installation::userSwitchesNow() { return {}; }

const char *const Installation::aProgram = "true";

std::vector<std::string> Installation::programFiles() { return {"launchwright", "rwlaunch"}; }

std::string Installation::commandLineFile() { return "launchwright"; }

std::map<std::string, std::string> Installation::baseEnvironment() const {
  return {{"HOME", home.string()},
          {"XDG_CONFIG_HOME", config.string()},
          {"XDG_CONFIG_DIRS", system.string()},
          {"PATH", program.string() + ":/usr/bin:/bin"},
          {"LANG", "C.UTF-8"},
          // Would list every plugin the program loads; the command line loads none.
          {"QT_DEBUG_PLUGINS", "1"}};
}

Outcome Installation::shell(const std::string &script) const {
  return execute({"/bin/bash", "-c", script}, {}, 0);
}

Outcome Installation::execute(const std::vector<std::string> &argv,
                              const std::vector<std::string> &added,
                              std::uint64_t addressSpace) const {
  const std::filesystem::path out = dir.path() / "stdout", err = dir.path() / "stderr";
  auto variables = baseEnvironment();
  for (const auto &variable : added)
    variables[variable.substr(0, variable.find('='))] = variable.substr(variable.find('=') + 1);
  std::vector<std::string> environment;
  for (const auto &[name, value] : variables)
    environment.push_back(name + "=" + value);
  const auto args = cStrings(argv);
  const auto env = cStrings(environment);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    if (addressSpace != 0) {
      const rlimit limit{addressSpace, addressSpace};
      ::setrlimit(RLIMIT_AS, &limit);
    }
    ::execve(args[0], args.data(), env.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  Outcome result{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), slurp(out),
                 slurp(err)};
  if (variables["QT_DEBUG_PLUGINS"] == "1") {
    EXPECT_EQ(result.err.find("plugin"), std::string::npos) << result.err;
  }
  return result;
}

} // namespace lw::test
