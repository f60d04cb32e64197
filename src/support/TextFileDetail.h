#pragma once
// What the per-platform halves of the text-file layer share; no one else includes this.

#include "FileError.h"

#include <cstddef>
#include <string>

namespace lw::textfile::detail {

// The size of the read buffer once `have` bytes are in it: it grows geometrically, but never
// further than one byte past the limit, so a file that grows while it is read cannot balloon.
std::size_t readCapacity(std::size_t have, std::size_t limit);

FileError tooLarge(const std::string &path, std::size_t limit);

} // namespace lw::textfile::detail
