#pragma once

#include "support/FileError.h"
#include "support/LanguageTable.h"

#include <string>

namespace lw {

// The report of a file that could not be used: the language table's introduction, then the
// file and the reason. It must also work when the table itself could not be loaded, so every
// missing text falls back to English.
std::string fileErrorMessage(const FileError &error, const LanguageTable &texts);

// The report of a command that ran out of memory (std::bad_alloc), which like a FileError ends
// the command where it happened; English when the table has no text for it.
std::string outOfMemoryMessage(const LanguageTable &texts);

// The report of a restored link that came back as a file of its own: what it pointed to and
// where the file was written; English when the table has no text for it.
std::string restoredAsFileMessage(const std::string &linkTarget, const std::string &file,
                                  const LanguageTable &texts);

} // namespace lw
