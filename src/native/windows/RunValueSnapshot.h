#pragma once
// The bytes that keep a Run value for putting it back: its type and data and its
// StartupApproved value, exactly as the registry held them. The core keeps them in a file of
// their own beside the backup file and never looks inside, so the format only has to be read
// back by this code, by a later version of it, and by a person wondering what the file is:
//
//   Launchwright Windows Run value snapshot 1\n
//   value <type> <size>\n<size bytes>\n
//   approval <type> <size>\n<size bytes>\n      or, when there was none:   approval none\n
//
// Types are the registry's numbers (1 REG_SZ, 2 REG_EXPAND_SZ, 3 REG_BINARY) and sizes are byte
// counts, both in decimal without leading zeros; the data are the raw bytes, so string data is
// UTF-16LE with or without its terminator, as it was found. The counts let the data hold any
// byte, line ends included. The last number of the first line is the version: anything that is
// not exactly this layout, another version included, is not understood.

#include "WindowsRegistry.h"

#include <optional>
#include <string>
#include <string_view>

namespace lw {

struct RunValueSnapshot {
  winreg::RawValue value;
  std::optional<winreg::RawValue> approval; // nothing: the value had no StartupApproved value
  bool operator==(const RunValueSnapshot &) const = default;
};

std::string encodeRunValueSnapshot(const RunValueSnapshot &snapshot);

// Nothing when the bytes are not a snapshot of this version, in whole.
std::optional<RunValueSnapshot> decodeRunValueSnapshot(std::string_view bytes);

} // namespace lw
