#include "LinuxNatives.h"

#include "BootJobs.h"
#include "InstallLayout.h"
#include "LinuxImpactMeter.h"
#include "LinuxShell.h"
#include "RegistryStore.h"
#include "SessionScripts.h"
#include "SystemdUserUnits.h"
#include "XdgApplications.h"
#include "XdgStartupState.h"
#include "native/Native.h"

#include <cstdlib>
#include <ctime>
#include <pwd.h>
#include <string_view>
#include <thread>
#include <unistd.h>

namespace lw {

LocalTime LinuxClock::now() const {
  const std::time_t seconds = std::time(nullptr);
  std::tm parts{};
  ::localtime_r(&seconds, &parts);
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
          parts.tm_min,         parts.tm_sec,     parts.tm_wday};
}

void LinuxClock::sleepFor(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

ProcLocation::ProcLocation() : decided(decideLayout(executablePath(), &std::getenv)) {}

std::string ProcLocation::messagesLanguage() const {
  for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char *value = std::getenv(variable);
    if (!value || !*value)
      continue;
    // "de_DE.UTF-8@euro" speaks "de"; "C" and "POSIX" speak no language of their own.
    const std::string locale = value;
    const std::string language = locale.substr(0, locale.find_first_of("_.@"));
    return language == "C" || language == "POSIX" ? std::string() : language;
  }
  return {};
}

std::string ProcLocation::executablePath() const {
  std::string path(4096, '\0');
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0)
      return {};
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::unique_ptr<Registry> makeNativeRegistry() {
  return std::make_unique<RegistryStore>(xdgLocations(&std::getenv).storeFile);
}

std::unique_ptr<Shell> makeNativeShell() {
  std::string home;
  if (const char *value = std::getenv("HOME"); value && *value)
    home = value;
  else if (const passwd *account = ::getpwuid(::getuid()))
    home = account->pw_dir;
  return std::make_unique<LinuxShell>(home);
}

std::unique_ptr<Clock> makeNativeClock() { return std::make_unique<LinuxClock>(); }

std::unique_ptr<ProgramLocation> makeNativeLocation() { return std::make_unique<ProcLocation>(); }

std::vector<std::unique_ptr<LogonSource>> makeNativeLogonSources() {
  std::vector<std::unique_ptr<LogonSource>> sources;
  sources.push_back(std::make_unique<SystemdUserUnits>());
  sources.push_back(std::make_unique<SessionScripts>(SessionScripts::folders(&std::getenv)));
  sources.push_back(std::make_unique<BootJobs>());
  return sources;
}

std::unique_ptr<ImpactMeter> makeNativeImpactMeter() {
  return std::make_unique<LinuxImpactMeter>();
}

std::unique_ptr<StartupState> makeNativeStartupState(std::optional<std::string> desktop) {
  XdgStartupState::Environment environment; // the process's own
  if (desktop)
    environment = [names = std::move(*desktop)](const char *variable) -> const char * {
      return std::string_view(variable) == "XDG_CURRENT_DESKTOP" ? names.c_str()
                                                                 : std::getenv(variable);
    };
  return std::make_unique<XdgStartupState>(xdgLocations(&std::getenv), std::move(environment));
}

std::unique_ptr<Applications> makeNativeApplications() {
  return std::make_unique<XdgApplications>(&std::getenv);
}

std::unique_ptr<RegistryWatch> makeNativeRegistryWatch() { return nullptr; }

bool sessionNamesItsDesktop() {
  const char *names = std::getenv("XDG_CURRENT_DESKTOP");
  return names && *names;
}

} // namespace lw
