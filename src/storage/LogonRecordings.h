#pragma once
// What each entry cost at the last logons, as the recorder measured it: one recording a logon,
// the newest last, the last maxLogonRecordings of them kept in one small file of the user's.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lw {

inline constexpr const char *logonRecordingsFileName = "0013imp.ini";
inline constexpr std::size_t maxLogonRecordings = 10;

// One entry's figures at one logon. A figure is absent where it could not be measured; `reason`
// then says why, in English (the command line's and the tooltip's words).
struct EntryCost {
  std::string kind; // the word --kind takes: "user", "systemd-unit", ...
  std::string name; // exact bytes
  std::optional<std::uint64_t> cpuMs;
  std::optional<std::uint64_t> diskBytes;
  std::optional<std::uint64_t> startedAfterMs; // from the session's start to the entry's
  std::string reason;
};

struct LogonRecording {
  std::int64_t sessionStart = 0; // seconds since 1970, UTC
  std::vector<EntryCost> entries;
};

// The newest maxLogonRecordings recordings of the file, oldest first; none when there is no
// file. A line that cannot be read is passed over: the file is ours, a damaged line costs one
// figure, not the listing. Throws FileError when the file is there and cannot be read.
std::vector<LogonRecording> readLogonRecordings(const std::string &path);
// Adds the recording as the newest, under the file's lock: appended as a whole-line write, or,
// once the file holds twice maxLogonRecordings, by rewriting it atomically with the newest
// only. Throws FileError when it cannot be written.
void addLogonRecording(const std::string &path, const LogonRecording &recording);

// "2026-12-09T02:21:01Z".
std::string isoTime(std::int64_t secondsSince1970);

} // namespace lw
