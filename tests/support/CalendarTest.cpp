#include "Fakes.h"
#include "support/Toolbox.h"

#include <gtest/gtest.h>

namespace lw {
namespace {

TEST(DayNumber, CountsFromTheFirstOfJanuary2000) {
  EXPECT_EQ(Toolbox::dayNumber("2000", "January", "1"), 1);
  EXPECT_EQ(Toolbox::dayNumber("2000", "March", "1"), 61);
  EXPECT_EQ(Toolbox::dayNumber("2001", "January", "1"), 367);
  EXPECT_EQ(Toolbox::dayNumber("2006", "June", "26"), 2369);
  EXPECT_EQ(Toolbox::dayNumber("2006", "June", "26"), Toolbox::dayNumber("2006", "June", "25") + 1);
  EXPECT_EQ(Toolbox::dayNumber("2007", "January", "02"),
            Toolbox::dayNumber("2006", "December", "31") + 2);
}

TEST(DayNumber, EveryFourthYearIsALeapYearCenturiesIncluded) {
  EXPECT_EQ(Toolbox::dayNumber("2100", "March", "1") - Toolbox::dayNumber("2100", "February", "1"),
            29);
  EXPECT_EQ(Toolbox::dayNumber("2005", "March", "1") - Toolbox::dayNumber("2005", "February", "1"),
            28);
  EXPECT_EQ(Toolbox::dayNumber("2005", "January", "1") - Toolbox::dayNumber("2004", "January", "1"),
            366);
}

TEST(DayNumber, YearsBefore2000AddNothing) {
  EXPECT_EQ(Toolbox::dayNumber("1999", "December", "31"), 365);
  EXPECT_EQ(Toolbox::dayNumber("", "", ""), 0);
}

TEST(DayNumber, DamagedMonthCountsAsNoMonthPassed) {
  EXPECT_EQ(Toolbox::dayNumber("2006", "", "15"), Toolbox::dayNumber("2006", "January", "15"));
  EXPECT_EQ(Toolbox::dayNumber("2006", Toolbox::monthName(13), "1"),
            Toolbox::dayNumber("2006", "January", "1"));
  // A damaged year must give a number, not overflow.
  Toolbox::dayNumber("9999999999", "December", "99");
}

TEST(MinuteNumber, AddsHoursAndMinutesToTheDay) {
  EXPECT_EQ(Toolbox::minuteNumber("2000", "January", "1", "00", "00"), 1440);
  EXPECT_EQ(Toolbox::minuteNumber("2000", "January", "1", "00", "01"), 1441);
  EXPECT_EQ(Toolbox::minuteNumber("2000", "January", "2", "00", "00"), 2880);
  EXPECT_EQ(Toolbox::minuteNumber("2006", "June", "30", "10", "30") -
                Toolbox::minuteNumber("2006", "June", "30", "10", "00"),
            30);
}

TEST(Names, MonthAndWeekdayNamesAreExactAndBounded) {
  EXPECT_EQ(Toolbox::monthName(1), "January");
  EXPECT_EQ(Toolbox::monthName(12), "December");
  EXPECT_EQ(Toolbox::monthName(0), "");
  EXPECT_EQ(Toolbox::monthName(13), "");
  EXPECT_EQ(Toolbox::monthNumber("June"), 6);
  EXPECT_EQ(Toolbox::monthNumber("june"), 0);
  EXPECT_EQ(Toolbox::monthNumber("June "), 0);
  EXPECT_EQ(Toolbox::weekdayName(0), "Sunday");
  EXPECT_EQ(Toolbox::weekdayName(6), "Saturday");
  EXPECT_EQ(Toolbox::weekdayName(7), "");
  EXPECT_EQ(Toolbox::weekdayName(-1), "");
  EXPECT_EQ(Toolbox::weekdayDigit("Sunday"), "1");
  EXPECT_EQ(Toolbox::weekdayDigit("Monday"), "2");
  EXPECT_EQ(Toolbox::weekdayDigit("Saturday"), "7");
  EXPECT_EQ(Toolbox::weekdayDigit("sunday"), "x");
  EXPECT_EQ(Toolbox::weekdayDigit(""), "x");
}

TEST(CurrentStamp, IsTwelveDigitsOfTheLocalClock) {
  test::TestProgram program;
  program.clock.set(2007, 2, 3, 9, 5);
  EXPECT_EQ(Toolbox(program.platform).currentStamp(), "200702030905");
  program.clock.set(2006, 12, 31, 23, 59);
  EXPECT_EQ(Toolbox(program.platform).currentStamp(), "200612312359");
}

} // namespace
} // namespace lw
