// When each kind of schedule makes an entry due.

#include "LauncherTestFixture.h"
#include "scheduler/NextStart.h"
#include "scheduler/Schedule.h"

#include <array>
#include <chrono>

namespace lw::test {
namespace {

std::string schedule(ScheduleValues values, const std::string &lastStart) {
  return encodeSchedule(values) + lastStart;
}

TEST_F(LauncherTest, EveryMinutesCountsWholeMinutesFromTheLastStart) {
  load({{"Backup", "backup", schedule({.choice = 5, .minutes = "30"}, "200606301000")}});
  EXPECT_EQ(tickAt(2006, 6, 30, 10, 29), 0u);
  EXPECT_EQ(tickAt(2006, 6, 30, 10, 30), 1u);
  EXPECT_EQ(launcher.timerEntries[2], "050030000000000x00200606301030");
  EXPECT_EQ(tickAt(2006, 6, 30, 10, 30), 0u);
  EXPECT_EQ(tickAt(2006, 6, 30, 10, 59), 0u);
  EXPECT_EQ(tickAt(2006, 6, 30, 11, 0), 1u);

  // Across midnight the minutes run on; hour 0 adds nothing.
  const auto lateLine = schedule({.choice = 5, .minutes = "30"}, "200606302350");
  EXPECT_FALSE(dueAt(lateLine, 2006, 7, 1, 0, 19));
  EXPECT_TRUE(dueAt(lateLine, 2006, 7, 1, 0, 20));

  const auto hourly = schedule({.choice = 6, .hours = "2"}, "200606301015");
  EXPECT_FALSE(dueAt(hourly, 2006, 6, 30, 12, 14));
  EXPECT_TRUE(dueAt(hourly, 2006, 6, 30, 12, 15));
}

TEST_F(LauncherTest, AnIntervalOfZeroOrNothingIsDueOnEveryTick) {
  for (int kind : {5, 6, 7, 8}) {
    for (const char *interval : {"0", "", "ab"}) {
      const auto line = schedule({.choice = kind,
                                  .minutes = interval,
                                  .hours = interval,
                                  .days = interval,
                                  .weeks = interval},
                                 "200606300905");
      launcher.timerEntries = blocksOf({{"Probe", "probe", line}});
      for (int tick = 0; tick < 3; ++tick)
        EXPECT_EQ(tickAt(2006, 6, 30, 9, 5), 1u) << "kind " << kind << " '" << interval << "'";
    }
  }
}

TEST_F(LauncherTest, DayRulesCountCalendarDaysAcrossMonthsAndYears) {
  const auto everyOther = [](const char *lastStart) { return schedule({.choice = 1}, lastStart); };
  EXPECT_FALSE(dueAt(everyOther("200606302359"), 2006, 7, 1, 23, 59));
  EXPECT_TRUE(dueAt(everyOther("200606302359"), 2006, 7, 2, 0, 0));
  EXPECT_FALSE(dueAt(everyOther("200612311200"), 2007, 1, 1, 23, 59));
  EXPECT_TRUE(dueAt(everyOther("200612311200"), 2007, 1, 2, 0, 0));
  EXPECT_FALSE(dueAt(everyOther("200802281200"), 2008, 2, 29, 12, 0));
  EXPECT_TRUE(dueAt(everyOther("200802281200"), 2008, 3, 1, 0, 0));
  EXPECT_FALSE(dueAt(everyOther("200702281200"), 2007, 3, 1, 12, 0));

  const auto days = schedule({.choice = 7, .days = "3"}, "200606302359");
  EXPECT_FALSE(dueAt(days, 2006, 7, 2, 23, 59));
  EXPECT_TRUE(dueAt(days, 2006, 7, 3, 0, 0));

  // Monday 26 June 2006 to the Mondays after it.
  const auto weekly = schedule({.choice = 2}, "200606262358");
  EXPECT_FALSE(dueAt(weekly, 2006, 7, 2, 23, 59));
  EXPECT_TRUE(dueAt(weekly, 2006, 7, 3, 0, 0));
  const auto fortnightly = schedule({.choice = 8, .weeks = "2"}, "200606260800");
  EXPECT_FALSE(dueAt(fortnightly, 2006, 7, 9, 23, 59));
  EXPECT_TRUE(dueAt(fortnightly, 2006, 7, 10, 0, 0));
}

TEST_F(LauncherTest, OncePerDayMonthAndYearCompareOnlyTheirDigits) {
  const auto daily = schedule({.choice = 0}, "200606302359");
  EXPECT_FALSE(dueAt(daily, 2006, 6, 30, 23, 59));
  EXPECT_TRUE(dueAt(daily, 2006, 7, 1, 0, 0));
  EXPECT_TRUE(dueAt(daily, 2007, 6, 30, 23, 59));

  const auto monthly = schedule({.choice = 3}, "200603150800");
  EXPECT_FALSE(dueAt(monthly, 2006, 3, 31, 23, 59));
  EXPECT_FALSE(dueAt(monthly, 2007, 3, 1, 0, 0));
  EXPECT_TRUE(dueAt(monthly, 2006, 4, 1, 0, 0));

  const auto yearly = schedule({.choice = 4}, "200603150800");
  EXPECT_FALSE(dueAt(yearly, 2006, 12, 31, 23, 59));
  EXPECT_TRUE(dueAt(yearly, 2007, 3, 15, 8, 0));
}

// The clock set back a day: a last start still to come counts as now. The timer stores it as now
// at once, so each entry comes due where its next start says, counted from now; a daily, monthly
// or yearly entry does not start again; the weekday and day-of-month rules never look at it.
TEST_F(LauncherTest, ALastStartAheadOfTheClockCountsAsNow) {
  using namespace std::chrono;
  const struct {
    const char *slip; // the one-line mistake the row catches
    ScheduleValues rule;
    sys_days today;
    const char *next; // the stamp of the first start; empty when due at once
  } rows[] = {
      {"dueAnswer compares the stored date: started twice",
       {.choice = 0},
       2006y / 6 / 30,
       "200607010000"},
      {"nextStart counts from the stored day", {.choice = 1}, 2006y / 6 / 30, "200607020000"},
      {"nextStart counts from the stored day", {.choice = 2}, 2006y / 6 / 30, "200607070000"},
      {"dueAnswer compares the stored month", {.choice = 3}, 2006y / 6 / 30, "200607010000"},
      {"dueAnswer compares the stored year", {.choice = 4}, 2006y / 12 / 31, "200701010000"},
      {"the timer keeps the stamp ahead: held a day",
       {.choice = 5, .minutes = "30"},
       2006y / 6 / 30,
       "200606301230"},
      {"the timer keeps the stamp ahead: held a day",
       {.choice = 6, .hours = "2"},
       2006y / 6 / 30,
       "200606301400"},
      {"nextStart counts from the stored day",
       {.choice = 7, .days = "3"},
       2006y / 6 / 30,
       "200607030000"},
      {"nextStart counts from the stored day",
       {.choice = 8, .weeks = "2"},
       2006y / 6 / 30,
       "200607140000"},
      {"a stamp ahead holds back every rule",
       {.choice = 9, .weekday = "Friday"},
       2006y / 6 / 30,
       ""},
      {"a stamp ahead holds back every rule",
       {.choice = 10, .dayOfMonth = "30"},
       2006y / 6 / 30,
       ""},
  };
  const auto localAt = [](sys_time<minutes> at) {
    const auto day = floor<days>(at);
    const year_month_day date{day};
    const hh_mm_ss time{at - day};
    return std::array<int, 5>{int(date.year()), int(unsigned(date.month())),
                              int(unsigned(date.day())), int(time.hours().count()),
                              int(time.minutes().count())};
  };
  const auto stampAt = [&localAt](sys_time<minutes> at) {
    const auto [y, mo, d, h, mi] = localAt(at);
    return Toolbox::stampOf({y, mo, d, h, mi, 0, 0});
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.slip);
    SCOPED_TRACE(row.rule.choice);
    sys_time<minutes> at = row.today + 12h;
    const std::string rule = encodeSchedule(row.rule);
    const std::string line = rule + stampAt(at + days{1});
    load({{"Probe", "probe", line}});
    launcher.startedThisRun.clear();
    const auto tick = [&] {
      const auto [y, mo, d, h, mi] = localAt(at);
      return tickAt(y, mo, d, h, mi);
    };
    const auto [y, mo, d, h, mi] = localAt(at);
    program.clock.set(y, mo, d, h, mi);
    const NextStart next = nextStart(line, program.clock.now(), false);
    const bool dueNow = *row.next == '\0';
    EXPECT_EQ(next.when, dueNow ? NextStart::When::Now : NextStart::When::At);
    EXPECT_EQ(tick(), dueNow ? 1u : 0u);
    if (dueNow)
      continue;
    EXPECT_EQ(Toolbox::stampOf(next.at), row.next);
    // Stored as now, so that a restart counts from here too.
    EXPECT_EQ(fileLines()[2], rule + stampAt(at));
    std::size_t started = 0;
    for (int step = 0; step < 2 * 24 * 15 && started == 0; ++step) {
      at += 30min;
      started = tick();
    }
    EXPECT_EQ(stampAt(at), row.next) << "the timer's first start";
  }
}

TEST_F(LauncherTest, DamagedOrFarFutureLastStartsNeverMakeEveryTickDue) {
  // Month digits that are no month count as no month passed: "13" reads like January.
  const auto damagedMonth = schedule({.choice = 7, .days = "1"}, "200613301200");
  EXPECT_FALSE(dueAt(damagedMonth, 2006, 1, 30, 12, 0));
  EXPECT_TRUE(dueAt(damagedMonth, 2006, 1, 31, 0, 0));
  EXPECT_TRUE(dueAt(schedule({.choice = 7, .days = "1"}, "200600301200"), 2006, 1, 31, 0, 0));

  // A last start typed far into the future counts as now instead of wrapping around.
  for (int kind : {1, 2, 5, 6, 7, 8})
    EXPECT_FALSE(
        dueAt(schedule({.choice = kind, .minutes = "30", .hours = "1", .days = "1", .weeks = "1"},
                       "999912312359"),
              2006, 6, 30, 9, 5))
        << "kind " << kind;
}

TEST_F(LauncherTest, UnknownKindsAreNeverDue) {
  for (const char *kind : {"11", "99", "1a"})
    EXPECT_FALSE(dueAt(std::string(kind) + "0000000000000x00" + "199901010000", 2006, 6, 30))
        << kind;
}

TEST_F(LauncherTest, DayOfMonthEntryStartsOnlyOnItsDayAndOncePerRun) {
  const auto on31st = schedule({.choice = 10, .dayOfMonth = "31"}, "200601010000");
  for (int day = 1; day <= 30; ++day)
    EXPECT_FALSE(dueAt(on31st, 2006, 6, day, 12, 0)) << "June " << day;
  EXPECT_TRUE(dueAt(on31st, 2006, 7, 31, 12, 0));

  launcher.startedThisRun.clear();
  for (const char *day : {"00", "0a", "xx", "5 "})
    for (int date = 1; date <= 31; ++date)
      EXPECT_FALSE(
          dueAt(schedule({.choice = 10}, "200601010000").replace(16, 2, day), 2006, 7, date))
          << "'" << day << "' on " << date;

  const auto on5th = schedule({.choice = 10, .dayOfMonth = "5"}, "200601010000");
  EXPECT_TRUE(dueAt(on5th, 2006, 7, 5, 0, 0));
  EXPECT_FALSE(dueAt(on5th, 2006, 7, 5, 23, 59));
  EXPECT_FALSE(dueAt(on5th, 2006, 8, 5, 0, 0));
  EXPECT_EQ(launcher.startedThisRun, std::vector<std::string>{"Probe"});

  Launcher nextRun(program.platform, {});
  nextRun.timerEntries = blocksOf({{"Probe", "probe", on5th}});
  nextRun.tick();
  EXPECT_EQ(program.shell.opened.back(), "probe");
  EXPECT_EQ(nextRun.startedThisRun, std::vector<std::string>{"Probe"});
}

TEST_F(LauncherTest, WeekdayEntryStartsOnItsWeekdayOncePerRun) {
  const auto noWeekday = schedule({.choice = 9, .weekday = "monday"}, "200601010000");
  ASSERT_EQ(noWeekday[15], 'x');
  for (int day = 1; day <= 7; ++day)
    EXPECT_FALSE(dueAt(noWeekday, 2006, 7, day, 12, 0)) << "July " << day;

  // 3 July 2006 was a Monday; the last start plays no part.
  const auto mondays = schedule({.choice = 9, .weekday = "Monday"}, "209912312359");
  EXPECT_FALSE(dueAt(mondays, 2006, 7, 2, 23, 59));
  EXPECT_TRUE(dueAt(mondays, 2006, 7, 3, 0, 0));
  EXPECT_EQ(launcher.timerEntries[2], "090000000000000200200607030000");
  EXPECT_FALSE(dueAt(mondays, 2006, 7, 3, 18, 0));
  EXPECT_FALSE(dueAt(mondays, 2006, 7, 10, 0, 0));

  // Names are told apart exactly: another entry's name that differs in case still starts.
  launcher.timerEntries = blocksOf({{"probe", "other", mondays}});
  EXPECT_EQ(tickAt(2006, 7, 10, 0, 0), 1u);
  EXPECT_EQ(launcher.startedThisRun, (std::vector<std::string>{"Probe", "probe"}));

  // Sunday is digit 1, Saturday 7.
  launcher.timerEntries = blocksOf(
      {{"Sunday job", "sunday", schedule({.choice = 9, .weekday = "Sunday"}, "200601010000")},
       {"Saturday job", "saturday",
        schedule({.choice = 9, .weekday = "Saturday"}, "200601010000")}});
  EXPECT_EQ(tickAt(2006, 7, 1, 12, 0), 1u);
  EXPECT_EQ(program.shell.opened.back(), "saturday");
  EXPECT_EQ(tickAt(2006, 7, 2, 12, 0), 1u);
  EXPECT_EQ(program.shell.opened.back(), "sunday");
}

} // namespace
} // namespace lw::test
