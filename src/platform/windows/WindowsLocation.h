#pragma once

#include "platform/ProgramLocation.h"

#include <string>
#include <windows.h>

namespace lw {

class WindowsLocation : public ProgramLocation {
public:
  std::string executablePath() const override;
  char separator() const override { return '\\'; }
};

// The full path of a module's file, in UTF-8. GetModuleFileNameW answers a path that does not fit
// with the buffer's size and an unterminated, cut text; the buffer then grows until the path fits.
// The first size is a parameter so that tests can force the growing. Empty on failure.
std::string moduleFileName(HMODULE module, DWORD initialSize = MAX_PATH);

} // namespace lw
