#pragma once
// A stand-in for the desktop's document opener: a program in `folder` that writes the document
// it is given to `folder`/opened and ends with `status`. Its path.
#include <filesystem>
#include <string>

namespace lw::test {

std::string placeOpener(const std::filesystem::path &folder, int status);

} // namespace lw::test
