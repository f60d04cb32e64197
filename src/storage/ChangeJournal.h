#pragma once
// The record of every change to what starts at logon: who added, removed, changed or switched
// which entry, and when. One line a change, appended and never rewritten in place, so that a
// person can read it and a crash costs at most the line being written; only the newest
// `keptRecords` are kept.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

struct ChangeRecord {
  std::uint64_t number = 0; // counts up from 1 over the journal's life; set by append
  // When it was seen, in UTC ("2026-12-09T03:12:45Z"); a change found at a start, which
  // happened while nothing watched, is "before " and the time of that start.
  std::string time;
  std::string kind;   // the word --kind takes: "user", "machine", "customized", "systemd-unit", ...
  std::string name;   // the entry's name, exact bytes
  std::string change; // one of the change words below
  std::string before; // the command before the change; empty for an added entry
  std::string after;  // the command after it; empty for a removed entry
  std::string by;     // one of the by words below
  std::string action; // what the user chose about it when told: one of the action words; or empty
};

namespace change {
inline constexpr const char *added = "added";
inline constexpr const char *removed = "removed";
inline constexpr const char *commandChanged = "command-changed";
inline constexpr const char *switchedOff = "switched-off";
inline constexpr const char *switchedOn = "switched-on";
} // namespace change

namespace changeBy {
inline constexpr const char *window = "window";
inline constexpr const char *commandLine = "command-line";
inline constexpr const char *timer = "timer";
inline constexpr const char *other = "other";
} // namespace changeBy

namespace changeAction {
inline constexpr const char *kept = "kept";
inline constexpr const char *switchedOff = "switched-off";
inline constexpr const char *removed = "removed";
} // namespace changeAction

class ChangeJournal {
public:
  static constexpr std::size_t keptRecords = 10000;

  explicit ChangeJournal(std::string path) : file(std::move(path)) {}
  const std::string &path() const { return file; }

  // Every record kept, oldest first, with the actions taken on them. Nothing when there is no
  // journal yet. Throws FileError when it cannot be read.
  std::vector<ChangeRecord> read() const;
  // Numbers the records and appends them; when the journal then holds more than keptRecords,
  // it is rewritten with the newest of them alone. Returns the records as numbered. The caller
  // holds the journal's FileLock. Throws FileError when it cannot be written.
  std::vector<ChangeRecord> append(std::vector<ChangeRecord> records) const;
  // Notes what the user chose about the record of that number. The caller holds the lock.
  void noteAction(std::uint64_t number, std::string_view action) const;

private:
  std::string file;
};

// The record's fields as the journal writes a line of them; for tests and tools.
std::string journalLine(const ChangeRecord &record);
// A field with every tab, line end and backslash as an escape, so that it stays one field of
// one line whatever its bytes; and back.
std::string journalEscaped(std::string_view field);
std::string journalUnescaped(std::string_view field);

} // namespace lw
