#pragma once
// The small Linux natives: the wall clock and where the running program file is.

#include "platform/Clock.h"
#include "platform/ProgramLocation.h"

namespace lw {

class LinuxClock : public Clock {
public:
  LocalTime now() const override;
  void sleepFor(std::chrono::milliseconds duration) override;
};

// The program file as the kernel knows it, symbolic links resolved, and the layout that this
// file's place gives, decided once when the location is made.
class ProcLocation : public ProgramLocation {
public:
  ProcLocation();
  std::string executablePath() const override;
  char separator() const override { return '/'; }
  ProgramLayout layout() const override { return decided; }
  // From LC_ALL, LC_MESSAGES or LANG, the first that is set, as gettext reads them.
  std::string messagesLanguage() const override;

private:
  ProgramLayout decided;
};

} // namespace lw
