#pragma once

#include <stdexcept>
#include <string>

namespace lw {

// One of the program's files could not be opened, created, replaced or understood. The front
// end's dispatch catches it and shows it; the interrupted command stops there.
class FileError : public std::runtime_error {
public:
  FileError(std::string path, std::string reason);

  const std::string &path() const noexcept { return filePath; }
  const std::string &reason() const noexcept { return why; }

private:
  std::string filePath;
  std::string why;
};

} // namespace lw
