#pragma once
// The null-terminated array of C strings that exec and posix_spawn take for arguments and
// variables.

#include <string>
#include <vector>

namespace lw::test {

// Valid while the strings live and are not changed. Made before a fork, so that the child only
// calls exec.
inline std::vector<char *> cStrings(const std::vector<std::string> &strings) {
  std::vector<char *> pointers;
  pointers.reserve(strings.size() + 1);
  for (const auto &text : strings)
    pointers.push_back(const_cast<char *>(text.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

} // namespace lw::test
