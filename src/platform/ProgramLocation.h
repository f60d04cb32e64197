#pragma once

#include <string>

namespace lw {

// Where the program keeps its files, decided once at start-up. Each empty directory stands for
// the program directory, which is the whole answer in the portable layout (the program, the
// starter and the data files side by side, as on Windows).
struct ProgramLayout {
  // The shipped, read-only files: language file, default configuration, help pages and the
  // templates of the data files.
  std::string shipped;
  // This user's writable files: Customized entries, backup file, own configuration.
  std::string user;
  // The companion starter.
  std::string starter;
  bool portable() const { return shipped.empty() && user.empty() && starter.empty(); }
};

// Where the running program file is. The program directory is derived from it, so tests point
// it at a temporary directory and run the whole program there.
class ProgramLocation {
public:
  virtual ~ProgramLocation() = default;
  // Full path of the program file; empty when it cannot be determined.
  virtual std::string executablePath() const = 0;
  // The separator between directory and file name on this platform.
  virtual char separator() const = 0;
  // Where the shipped and the user's files are; the portable layout unless a system says
  // otherwise.
  virtual ProgramLayout layout() const { return {}; }
  // The language the user's session asks programs to speak, as its code ("de"); empty when it
  // says none.
  virtual std::string messagesLanguage() const { return {}; }
};

} // namespace lw
