#pragma once
// A listed row as the command line writes it: a JSON object, or the cells of a text line.

#include "Commands.h"

#include "entries/StartupStatus.h"
#include "scheduler/ScheduleStatus.h"

#include <optional>
#include <string>
#include <vector>

namespace lw::cli {

// A customized entry's rule in words and its last and next start, as the window works them out.
struct Timing {
  std::string schedule;
  std::optional<std::string> lastStart;
  std::optional<std::string> nextStart; // none when the timer will not start it by itself
};

class TimingReader {
public:
  TimingReader(const LanguageTable &table, const LocalTime &at)
      : texts(table), now(at), moment(TickMoment::of(at)) {}

  // Also gives the entry the part of its Status about the next start, as the window's list does.
  Timing of(StartupEntry &entry) const;

private:
  ScheduleTexts texts;
  LocalTime now;
  TickMoment moment;
};

// What every row of a listing needs, worked out once.
struct RowWriter {
  RowWriter(const LanguageTable &texts, const LocalTime &now)
      : timings(texts, now), labels(texts) {}
  TimingReader timings;
  VerdictLabels labels;
  std::string status; // room for each row's Status, reused
};

// The row as one JSON object; a customized row's Status gains its next start on the way.
void appendJson(std::string &out, StartupEntry &entry, RowWriter &writer);
// The key "view" of a machine entry or record: "32" for the machine's 32-bit Run key, "64" for
// its usual one. Only Windows has the two views; elsewhere nothing is written.
void appendView(std::string &out, bool view32);

// A row's cells as the text forms show them; the table names the times in its header.
std::vector<std::string> cellsOf(StartupEntry &entry, RowWriter &writer, Context &context,
                                 bool table);

} // namespace lw::cli
