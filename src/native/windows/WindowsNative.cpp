// The clock of Windows and the factories of every Windows implementation.
#include "LogonTasks.h"
#include "RegistryKeyWatch.h"
#include "RunOnceKeys.h"
#include "StartMenuApplications.h"
#include "StartupFolders.h"
#include "WindowsImpactMeter.h"
#include "WindowsLocation.h"
#include "WindowsRegistry.h"
#include "WindowsShell.h"
#include "WindowsStartupState.h"
#include "native/Native.h"
#include "platform/Clock.h"

#include <windows.h>

namespace lw {
namespace {

class WindowsClock : public Clock {
public:
  LocalTime now() const override {
    SYSTEMTIME time;
    GetLocalTime(&time);
    return {time.wYear,   time.wMonth,  time.wDay,      time.wHour,
            time.wMinute, time.wSecond, time.wDayOfWeek}; // wDayOfWeek: 0 = Sunday
  }

  void sleepFor(std::chrono::milliseconds duration) override {
    // Sleep takes at most INFINITE - 1 milliseconds; INFINITE itself would never return.
    auto left = duration.count();
    while (left > 0) {
      const DWORD step =
          left >= static_cast<long long>(INFINITE) ? INFINITE - 1 : static_cast<DWORD>(left);
      Sleep(step);
      left -= step;
    }
  }
};

} // namespace

std::unique_ptr<Registry> makeNativeRegistry() { return std::make_unique<WindowsRegistry>(); }
std::unique_ptr<Shell> makeNativeShell() { return std::make_unique<WindowsShell>(); }
std::unique_ptr<Clock> makeNativeClock() { return std::make_unique<WindowsClock>(); }
std::unique_ptr<ProgramLocation> makeNativeLocation() {
  return std::make_unique<WindowsLocation>();
}

namespace {
class NativeStartupState : public WindowsStartupState {
public:
  NativeStartupState() : WindowsStartupState(registry) {}

private:
  WindowsRegistry registry;
};
} // namespace

namespace {
class NativeRunOnceKeys : public RunOnceKeys {
public:
  NativeRunOnceKeys() : RunOnceKeys(registry) {}

private:
  WindowsRegistry registry;
};
} // namespace

std::vector<std::unique_ptr<LogonSource>> makeNativeLogonSources() {
  std::vector<std::unique_ptr<LogonSource>> sources;
  sources.push_back(std::make_unique<StartupFolders>());
  sources.push_back(std::make_unique<NativeRunOnceKeys>());
  sources.push_back(std::make_unique<LogonTasks>());
  return sources;
}

std::unique_ptr<StartupState> makeNativeStartupState(std::optional<std::string>) {
  return std::make_unique<NativeStartupState>();
}

bool sessionNamesItsDesktop() { return true; }

std::unique_ptr<ImpactMeter> makeNativeImpactMeter() {
  return std::make_unique<WindowsImpactMeter>();
}

std::unique_ptr<Applications> makeNativeApplications() {
  return std::make_unique<StartMenuApplications>();
}

std::unique_ptr<RegistryWatch> makeNativeRegistryWatch() {
  return std::make_unique<RegistryKeyWatch>(startupKeyPaths());
}

} // namespace lw
