#pragma once
// The bytes of an autostart entry's snapshot, read nowhere else: length-prefixed fields, so that
// any bytes of a file (CR LF, Latin-1, no last line end) survive unchanged. Behind the files and
// the switch come a file's mode, owner and link, each only where the snapshot has it, as the
// field "<what> <file>" and its value; a snapshot without any keeps the bytes older versions
// wrote and read.
#include "support/TextFile.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw::xdgsnapshot {

struct Taken {
  std::string bytes;               // the file's, or those of the file a link points to
  textfile::FileStanding standing; // for a link: its own owner, and its file's mode
  std::optional<std::string> link; // the entry was a link that reads so
};

struct EntryFiles {
  struct Placed {
    std::string folder;
    Taken file;
  };
  std::vector<Placed> files; // the deciding one first
  std::optional<Taken> switchFile;
};

std::string encode(const EntryFiles &files);
// Nothing when the bytes are not a whole snapshot of this format.
std::optional<EntryFiles> decode(std::string_view in);

} // namespace lw::xdgsnapshot
