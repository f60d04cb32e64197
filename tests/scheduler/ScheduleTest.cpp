#include "scheduler/Schedule.h"

#include <gtest/gtest.h>

namespace lw {
namespace {

TEST(EncodeSchedule, PadsEveryFieldToItsWidth) {
  EXPECT_EQ(encodeSchedule({.choice = 5, .minutes = "30"}), "050030000000000x00");
  EXPECT_EQ(encodeSchedule({.choice = 10, .dayOfMonth = "5"}), "100000000000000x05");
  EXPECT_EQ(encodeSchedule({}), "000000000000000x00");
  EXPECT_EQ(encodeSchedule({.choice = 6, .hours = "1234", .days = "7", .weeks = "52"}),
            "060000123400752x00");
}

TEST(EncodeSchedule, WeekdayBecomesItsDigitOrX) {
  EXPECT_EQ(encodeSchedule({.choice = 9, .weekday = "Monday"}), "090000000000000200");
  EXPECT_EQ(encodeSchedule({.choice = 9, .weekday = "Sunday"}).substr(15, 1), "1");
  EXPECT_EQ(encodeSchedule({.choice = 9, .weekday = "Saturday"}).substr(15, 1), "7");
  EXPECT_EQ(encodeSchedule({.choice = 9, .weekday = "monday"}).substr(15, 1), "x");
}

TEST(EncodeSchedule, TypedTextIsStoredAsTypedButNeverShiftsLaterFields) {
  EXPECT_EQ(encodeSchedule({.choice = 5, .minutes = "1a"}), "05001a000000000x00");
  const auto tooLong = encodeSchedule({.choice = 5, .minutes = "123456", .dayOfMonth = "123"});
  EXPECT_EQ(tooLong.size(), scheduleLength);
  EXPECT_EQ(tooLong, "051234000000000x12");
}

TEST(DecodeSchedule, ShowsNumbersWithoutLeadingZeros) {
  const auto values = decodeSchedule("050030000000000x00");
  EXPECT_EQ(values, (ScheduleValues{5, "30", "0", "0", "0", "", "0"}));
  EXPECT_EQ(decodeSchedule("05001a000000000x00").minutes, "10");
  // Only the first 18 characters count; the time stamp behind them is ignored.
  EXPECT_EQ(decodeSchedule("090000000000000200200606261953"),
            (ScheduleValues{9, "0", "0", "0", "0", "Monday", "0"}));
  EXPECT_EQ(decodeSchedule("10000000000000070531").dayOfMonth, "5");
}

TEST(DecodeSchedule, DamagedOrShortTextsGiveZerosAndNoWeekday) {
  EXPECT_EQ(decodeSchedule("09"), (ScheduleValues{9, "0", "0", "0", "0", "", "0"}));
  EXPECT_EQ(decodeSchedule("0900000000000009").weekday, "");
  EXPECT_EQ(decodeSchedule("ab").choice, 0);
}

TEST(Schedule, DecodingThenEncodingGivesTheSameText) {
  for (const char *text : {"050030000000000x00", "000000000000000100", "091234567890123705",
                           "100000000000000x31", "080000000000052x00"}) {
    const auto values = decodeSchedule(text);
    EXPECT_EQ(encodeSchedule(values), text);
  }
}

} // namespace
} // namespace lw
