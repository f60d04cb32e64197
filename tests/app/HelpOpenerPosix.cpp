// A shell script, as the desktop's own openers are.
#include "HelpOpener.h"

#include <fstream>

namespace lw::test {

std::string placeOpener(const std::filesystem::path &folder, int status) {
  const auto opener = folder / "opener";
  std::ofstream(opener, std::ios::trunc)
      << "#!/bin/sh\nprintf '%s' \"$1\" > '" << (folder / "opened").string() << "'\nexit " << status
      << "\n";
  std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  return opener.string();
}

} // namespace lw::test
