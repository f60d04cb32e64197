// The built help_opener.exe, told its exit status by a file beside it: Windows runs no script
// as a program of its own.
#include "HelpOpener.h"

#include <fstream>

namespace lw::test {

std::string placeOpener(const std::filesystem::path &folder, int status) {
  const auto opener = folder / "opener.exe";
  std::filesystem::copy_file(LW_HELP_OPENER, opener,
                             std::filesystem::copy_options::overwrite_existing);
  std::ofstream(folder / "status", std::ios::trunc) << status;
  return opener.string();
}

} // namespace lw::test
