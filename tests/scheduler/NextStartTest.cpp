// The next start shown for a customized entry against the timer itself: stepping a fixed clock
// forward, the first tick at which the timer starts the entry must be the computed next start.

#include "scheduler/NextStart.h"
#include "Fakes.h"
#include "scheduler/Launcher.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace lw::test {
namespace {

struct Moment {
  int year, month, day, hour = 0, minute = 0;
  bool operator==(const Moment &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Moment &m) {
  return out << m.year << '-' << m.month << '-' << m.day << ' ' << m.hour << ':' << m.minute;
}

Moment momentOf(const LocalTime &time) {
  return {time.year, time.month, time.day, time.hour, time.minute};
}

// One minute on, or to the next midnight; every fourth year is a leap year, as the timer counts.
Moment advance(Moment m, bool byMinute) {
  if (byMinute && ++m.minute < 60)
    return m;
  if (byMinute && ++m.hour < 24) {
    m.minute = 0;
    return m;
  }
  m.hour = m.minute = 0;
  const int length = m.month == 2 ? 28 + (m.year % 4 == 0)
                     : m.month == 4 || m.month == 6 || m.month == 9 || m.month == 11 ? 30
                                                                                     : 31;
  if (++m.day <= length)
    return m;
  m.day = 1;
  if (++m.month <= 12)
    return m;
  m.month = 1;
  ++m.year;
  return m;
}

class NextStartTest : public ::testing::Test {
protected:
  TestProgram program;
  Launcher launcher{program.platform, {}};

  LocalTime at(const Moment &m) {
    program.clock.set(m.year, m.month, m.day, m.hour, m.minute, 1);
    return program.clock.now();
  }
  // Whether a tick of the timer starts the entry, alone in its copy, at that moment; started
  // says whether it was already started in this run.
  bool dueAt(const std::string &line, const Moment &m, bool started) {
    launcher.timerEntries = {"Probe", "probe", line, "====="};
    launcher.startedThisRun.assign(started ? 1 : 0, "Probe");
    at(m);
    const std::size_t before = program.shell.opened.size();
    launcher.tick();
    return program.shell.opened.size() != before;
  }
  // The first tick from `from` on at which the timer would start the entry.
  std::optional<Moment> firstDue(const std::string &line, Moment from, bool started,
                                 bool byMinute) {
    for (int step = 0; step < (byMinute ? 3 * 1440 : 800); ++step, from = advance(from, byMinute))
      if (dueAt(line, from, started))
        return from;
    return std::nullopt;
  }
};

struct Case {
  const char *what;
  std::string line;
  Moment now;
  bool started;
  NextStart::When when;
  Moment next; // ignored for Now and Never
};

using When = NextStart::When;

TEST_F(NextStartTest, AgreesWithTheTimersRulesForEveryKind) {
  const Case cases[] = {
      {"daily, before midnight",
       "000000000000000x00200606302359",
       {2006, 6, 30, 23, 59},
       false,
       When::At,
       {2006, 7, 1}},
      {"daily, year end",
       "000000000000000x00200612311000",
       {2006, 12, 31, 12, 0},
       false,
       When::At,
       {2007, 1, 1}},
      {"daily, started on another day",
       "000000000000000x00200606291000",
       {2006, 6, 30},
       false,
       When::Now,
       {}},
      {"every 2nd day, leap February",
       "010000000000000x00200802281200",
       {2008, 2, 28, 13, 0},
       false,
       When::At,
       {2008, 3, 1}},
      {"every 2nd day, plain February",
       "010000000000000x00200702281200",
       {2007, 3, 1},
       false,
       When::At,
       {2007, 3, 2}},
      {"weekly, across the year",
       "020000000000000x00200612291200",
       {2006, 12, 30},
       false,
       When::At,
       {2007, 1, 5}},
      {"monthly, 31st",
       "030000000000000x00200601311200",
       {2006, 1, 31, 23, 59},
       false,
       When::At,
       {2006, 2, 1}},
      {"monthly, December",
       "030000000000000x00200612011200",
       {2006, 12, 15},
       false,
       When::At,
       {2007, 1, 1}},
      {"yearly, New Year's Eve",
       "040000000000000x00200801010000",
       {2008, 12, 31, 23, 59},
       false,
       When::At,
       {2009, 1, 1}},
      {"90 minutes, across the year",
       "050090000000000x00200612312330",
       {2006, 12, 31, 23, 40},
       false,
       When::At,
       {2007, 1, 1, 1, 0}},
      {"30 minutes, due",
       "050030000000000x00200606301000",
       {2006, 6, 30, 10, 30},
       false,
       When::Now,
       {}},
      {"30 minutes, due again after a start in this run",
       "050030000000000x00200606301000",
       {2006, 6, 30, 10, 30},
       true,
       When::Now,
       {}},
      {"25 hours, into March of a leap year",
       "060000002500000x00200802282300",
       {2008, 2, 28, 23, 30},
       false,
       When::At,
       {2008, 3, 1, 0, 0}},
      {"3 days, 2100 counted as a leap year",
       "070000000000300x00210002271200",
       {2100, 2, 27},
       false,
       When::At,
       {2100, 3, 1}},
      {"2 weeks", "080000000000002x00200606260800", {2006, 7, 1}, false, When::At, {2006, 7, 10}},
      {"days, damaged month counts as January",
       "070000000000200x00200713051200",
       {2007, 1, 6},
       false,
       When::At,
       {2007, 1, 7}},
      {"Tuesday, today, not yet run",
       "090000000000000300200606301000",
       {2006, 12, 26},
       false,
       When::Now,
       {}},
      {"Tuesday, today, already run",
       "090000000000000300200606301000",
       {2006, 12, 26},
       true,
       When::LaterRun,
       {2007, 1, 2}},
      {"Tuesday, on a Wednesday",
       "090000000000000300200606301000",
       {2006, 12, 27},
       false,
       When::At,
       {2007, 1, 2}},
      {"Tuesday, already run, on a Saturday",
       "090000000000000300200606301000",
       {2006, 12, 30},
       true,
       When::LaterRun,
       {2007, 1, 2}},
      {"31st, from April",
       "100000000000000x31200606301000",
       {2006, 4, 15},
       false,
       When::At,
       {2006, 5, 31}},
      {"31st, run today",
       "100000000000000x31200606301000",
       {2006, 5, 31},
       true,
       When::LaterRun,
       {2006, 7, 31}},
      {"31st, December",
       "100000000000000x31200606301000",
       {2006, 12, 31, 8, 0},
       true,
       When::LaterRun,
       {2007, 1, 31}},
      {"29th, plain February",
       "100000000000000x29200606301000",
       {2007, 2, 10},
       false,
       When::At,
       {2007, 3, 29}},
      {"29th, leap February",
       "100000000000000x29200606301000",
       {2008, 2, 10},
       false,
       When::At,
       {2008, 2, 29}},
      {"30th, after January",
       "100000000000000x30200606301000",
       {2008, 1, 31},
       false,
       When::At,
       {2008, 3, 30}},
      {"unknown code", "110000000000000x00200606301000", {2006, 6, 30}, false, When::Never, {}},
      {"no weekday", "090000000000000x00200606301000", {2006, 6, 30}, false, When::Never, {}},
      {"weekday 8", "090000000000000800200606301000", {2006, 6, 30}, false, When::Never, {}},
      {"day 00", "100000000000000x00200606301000", {2006, 6, 30}, false, When::Never, {}},
      {"day 32", "100000000000000x32200606301000", {2006, 6, 30}, false, When::Never, {}},
      {"day typed as letters",
       "100000000000000xa5200606301000",
       {2006, 6, 30},
       false,
       When::Never,
       {}},
      {"line cut before the day", "100000000000000x3", {2006, 6, 30}, false, When::Never, {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    const NextStart next = nextStart(c.line, at(c.now), c.started);
    ASSERT_EQ(next.when, c.when);
    const bool byMinute = c.line.starts_with("05") || c.line.starts_with("06");
    switch (c.when) {
    case When::Now:
      EXPECT_TRUE(dueAt(c.line, c.now, c.started));
      break;
    case When::At:
      EXPECT_EQ(momentOf(next.at), c.next);
      EXPECT_EQ(firstDue(c.line, c.now, c.started, byMinute), c.next);
      break;
    case When::LaterRun:
      // Not again in this run; in a run begun tomorrow, on the day shown.
      EXPECT_EQ(momentOf(next.at), c.next);
      EXPECT_EQ(firstDue(c.line, c.now, true, false), std::nullopt);
      EXPECT_EQ(firstDue(c.line, advance(c.now, false), false, false), c.next);
      break;
    case When::Never:
      EXPECT_NE(next.why, NextStart::Never::None);
      EXPECT_EQ(firstDue(c.line, c.now, false, false), std::nullopt);
      break;
    }
    // The real calendar, which the fake clock's weekdays follow, has no 29 February 2100.
    if ((c.when == When::At || c.when == When::LaterRun) && c.next.year < 2100) {
      EXPECT_EQ(next.at.weekday, at(c.next).weekday) << "weekday of the next start";
    }
  }
}

} // namespace
} // namespace lw::test
