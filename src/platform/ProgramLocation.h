#pragma once

#include <string>

namespace lw {

// Where the running program file is. The program directory is derived from it, so tests point
// it at a temporary directory and run the whole program there.
class ProgramLocation {
public:
  virtual ~ProgramLocation() = default;
  // Full path of the program file; empty when it cannot be determined.
  virtual std::string executablePath() const = 0;
  // The separator between directory and file name on this platform.
  virtual char separator() const = 0;
};

} // namespace lw
