// The clock and the program location on Linux.
#include "native/Native.h"

#include <chrono>
#include <gtest/gtest.h>

namespace lw {
namespace {

TEST(LinuxClock, DateAndWeekdayAgree) {
  const auto clock = makeNativeClock();
  const LocalTime now = clock->now();
  const std::chrono::year_month_day date{std::chrono::year(now.year),
                                         std::chrono::month(static_cast<unsigned>(now.month)),
                                         std::chrono::day(static_cast<unsigned>(now.day))};
  ASSERT_TRUE(date.ok());
  EXPECT_EQ(std::chrono::weekday(std::chrono::sys_days(date)).c_encoding(),
            static_cast<unsigned>(now.weekday)); // 0 = Sunday
  EXPECT_GE(now.year, 2024);
  EXPECT_LT(now.hour, 24);
  EXPECT_LT(now.minute, 60);
}

TEST(LinuxLocation, IsTheRunningProgramFile) {
  const auto location = makeNativeLocation();
  EXPECT_EQ(location->separator(), '/');
  const std::string path = location->executablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_TRUE(path.ends_with("/platform_tests")) << path;
}

} // namespace
} // namespace lw
