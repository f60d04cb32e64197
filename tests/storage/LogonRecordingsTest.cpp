// The logon recordings file and the levels read from it: real files in a temporary folder.

#include "storage/LogonRecordings.h"
#include "entries/StartupImpact.h"
#include "support/TextFile.h"

#include "Fakes.h"

#include <gtest/gtest.h>

namespace lw {
namespace {

// The file gives the newest ten logons and stays bounded, each entry's exact name bytes and which
// figures were missing; a damaged line costs that line only.
TEST(LogonRecordingsTest, TheFileKeepsTheLastTenLogonsExactly) {
  const test::TempDir folder;
  const std::string path = (folder.path() / logonRecordingsFileName).string();
  const EntryCost odd{"user", std::string("a\tb\r\nc\xff", 7), 1500, std::nullopt, 0, "no io"};
  const EntryCost plain{"systemd-unit", "x.service",  std::nullopt,
                        std::nullopt,   std::nullopt, "its unit has not started"};
  for (std::int64_t logon = 1; logon <= 25; ++logon)
    addLogonRecording(path, {logon * 1000, {odd, plain}});
  // slip: the file never made anew, so that it grows with every logon.
  const std::string written = textfile::readBytes(path);
  std::size_t held = 0;
  for (std::size_t at = 0; (at = written.find("\nlogon\t", at)) != std::string::npos; ++at)
    ++held;
  EXPECT_LE(held, 2 * maxLogonRecordings);
  // A hand edit or a torn line in the middle of the newest logon.
  std::string bytes = textfile::readBytes(path);
  bytes += "entry\tuser\tzz\t1\t2\t3\tbad hex\r\nentry\tuser\t61\tx\t2\t3\tbad figure\r\n";
  textfile::writeAtomically(path, bytes);

  const auto recordings = readLogonRecordings(path);
  // slip: the oldest beyond ten not dropped / the newest dropped instead (first 1000).
  ASSERT_EQ(recordings.size(), maxLogonRecordings);
  EXPECT_EQ(recordings.front().sessionStart, 16000);
  EXPECT_EQ(recordings.back().sessionStart, 25000);
  // slip: damaged lines read as entries (4 entries).
  ASSERT_EQ(recordings.back().entries.size(), 2u);
  const EntryCost &first = recordings.back().entries[0], &second = recordings.back().entries[1];
  // slip: the name written as text (a tab or line end in it splits the line).
  EXPECT_EQ(first.name, odd.name);
  EXPECT_EQ(first.cpuMs, 1500u);
  // slip: a missing figure written as 0 (disk would read 0, not nothing).
  EXPECT_FALSE(first.diskBytes.has_value());
  EXPECT_EQ(first.startedAfterMs, 0u);
  EXPECT_EQ(second.kind, "systemd-unit");
  EXPECT_EQ(second.reason, plain.reason);
  EXPECT_EQ(isoTime(1'765'246'861), "2025-12-09T02:21:01Z");
}

// The level of a row at the recorded logon: by the thresholds, None when switched off, Not
// measured with the reason where nothing was measured.
TEST(LogonRecordingsTest, EachRowGetsItsLevelFromTheRecordedFigures) {
  struct Row {
    const char *slip;
    StartVerdict verdict;
    const char *name;
    EntryKind kind;
    bool recorded;
    ImpactLevel level;
  };
  const LogonRecording logon{
      100,
      {{"user", "boundary-high", 1000, 0, 10, ""},
       {"user", "high-cpu", 1001, 0, 10, ""},
       {"user", "high-disk", 0, 3'000'001, 10, ""},
       {"user", "medium-cpu", 300, 0, 10, ""},
       {"user", "medium-disk", 0, 300'000, 10, ""},
       {"user", "low", 299, 299'999, 10, ""},
       {"user", "no-io", 200, std::nullopt, 10, ""},
       {"user", "unread", std::nullopt, std::nullopt, std::nullopt, "its processes had ended"},
       {"machine", "other-kind", 5000, 0, 10, ""}}};
  const Row rows[] = {
      {"cpu above 1 s compared with >=", StartVerdict::Starts, "boundary-high",
       EntryKind::CurrentUser, true, ImpactLevel::Medium},
      {"cpu not compared for High", StartVerdict::Starts, "high-cpu", EntryKind::CurrentUser, true,
       ImpactLevel::High},
      {"disk not compared for High", StartVerdict::Starts, "high-disk", EntryKind::CurrentUser,
       true, ImpactLevel::High},
      {"cpu from 300 ms compared with >", StartVerdict::Starts, "medium-cpu",
       EntryKind::CurrentUser, true, ImpactLevel::Medium},
      {"disk not compared for Medium", StartVerdict::Starts, "medium-disk", EntryKind::CurrentUser,
       true, ImpactLevel::Medium},
      {"medium thresholds off by one (299 ms read as Medium)", StartVerdict::Starts, "low",
       EntryKind::CurrentUser, true, ImpactLevel::Low},
      {"unread disk makes it Not measured", StartVerdict::Starts, "no-io", EntryKind::CurrentUser,
       true, ImpactLevel::Low},
      {"a missing CPU figure read as 0 (Low)", StartVerdict::Starts, "unread",
       EntryKind::CurrentUser, true, ImpactLevel::NotMeasured},
      {"switched off not None", StartVerdict::Disabled, "high-cpu", EntryKind::CurrentUser, true,
       ImpactLevel::None},
      {"kind not compared (another kind's figures)", StartVerdict::Starts, "other-kind",
       EntryKind::CurrentUser, true, ImpactLevel::NotMeasured},
      {"no reason given when nothing was recorded", StartVerdict::Starts, "low",
       EntryKind::CurrentUser, false, ImpactLevel::NotMeasured},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.slip);
    StartupEntry entry;
    entry.kind = row.kind;
    entry.name = row.name;
    entry.verdict = row.verdict;
    const EntryImpact impact = impactOf(entry, row.recorded ? &logon : nullptr);
    EXPECT_EQ(impactWord(impact.level), std::string(impactWord(row.level)));
    // Not measured always says why.
    EXPECT_EQ(impact.level == ImpactLevel::NotMeasured, !impact.reason.empty());
  }
}

} // namespace
} // namespace lw
