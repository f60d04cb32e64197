// The start rules of the command line, as the entry dialog would store them.
#include "cli/ScheduleRule.h"

#include <gtest/gtest.h>

namespace lw::cli {
namespace {

TEST(ScheduleRule, EachRuleStoresWhatTheDialogWouldAndNonsenseIsRefused) {
  const struct {
    const char *rule;
    const char *stored; // nullptr: refused
  } cases[] = {
      {"daily", "000000000000000x00"},
      {"every-2-days", "010000000000000x00"},
      {"Weekly", "020000000000000x00"},
      {"monthly", "030000000000000x00"},
      {"yearly", "040000000000000x00"},
      {"every:90m", "050090000000000x00"},
      {"every:9999m", "059999000000000x00"},
      {"every:3h", "060000000300000x00"},
      {"every:2d", "070000000000200x00"},
      {"every:1w", "080000000000001x00"},
      {"weekday:tuesday", "090000000000000300"},
      {"weekday:SUN", "090000000000000100"},
      {"monthday:5", "100000000000000x05"},
      {"monthday:31", "100000000000000x31"},
      {"every:0m", nullptr},
      {"every:10000m", nullptr},
      {"every:100w", nullptr},
      {"every:3", nullptr},
      {"every:-3h", nullptr},
      {"every:03h", nullptr},
      {"every:3s", nullptr},
      {"weekday:someday", nullptr},
      {"monthday:32", nullptr},
      {"monthday:0", nullptr},
      {"hourly", nullptr},
      {"", nullptr},
  };
  for (const auto &c : cases) {
    const auto values = parseScheduleRule(c.rule);
    if (!c.stored) {
      EXPECT_FALSE(values) << c.rule;
      continue;
    }
    ASSERT_TRUE(values) << c.rule;
    EXPECT_EQ(encodeSchedule(*values), c.stored) << c.rule;
  }
}

} // namespace
} // namespace lw::cli
