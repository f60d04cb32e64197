#include "FileError.h"

namespace lw {

FileError::FileError(std::string path, std::string reason)
    : std::runtime_error(path + ": " + reason), filePath(std::move(path)), why(std::move(reason)) {}

} // namespace lw
