// A customized entry's Status in the words of the shipped language file.
#include "scheduler/ScheduleStatus.h"
#include "Fakes.h"
#include "support/LanguageTable.h"

#include <gtest/gtest.h>

namespace lw::test {
namespace {

TEST(ScheduleStatusTest, SaysTheRuleTheLastAndTheNextStartInTheLanguagesWords) {
  TestProgram program;
  program.clock.set(2026, 12, 7, 10, 0); // a Monday
  const LocalTime now = program.clock.now();
  const struct {
    const char *language;
    std::string line;
    bool started;
    bool failed;
    std::string expected;
  } cases[] = {
      {"[English]", "050090000000000x00202612070930", false, false,
       "Every 90 minutes; last start 2026-12-07 09:30; next start 2026-12-07 11:00"},
      {"[English]", "050001000000000x00202612070930", false, false,
       "Every minute; last start 2026-12-07 09:30; due now"},
      {"[Deutsch]", "080000000000001x00202612070930", false, false,
       "Jede Woche; zuletzt gestartet 07.12.2026 09:30; nächster Start 14.12.2026 00:00"},
      {"[English]", "090000000000000300202612010800", false, false,
       "Only on Tuesday; last start 2026-12-01 08:00; next start 2026-12-08 00:00"},
      {"[English]", "100000000000000x07202612070800", true, false,
       "On every 7. of the month; last start 2026-12-07 08:00; next start 2027-01-07, after "
       "Launchwright is started again"},
      {"[English]", "100000000000000x32202612070800", false, false,
       "On every 32. of the month; last start 2026-12-07 08:00; never starts: no month has this "
       "day"},
      {"[English]", "000000000000000x00202613", false, false,
       "1x per day; last start unknown; due now"},
      {"[English]", "990000000000000x00202612070800", false, false,
       "last start 2026-12-07 08:00; never starts: the start rule is unknown"},
      {"[English]", "000000000000000x00202612070800", false, true,
       "1x per day; last start 2026-12-07 08:00; start failed on 2026-12-07 08:00: program not "
       "found; next start 2026-12-08 00:00"},
      {"[Deutsch]", "060000000300000x00202612070930", false, true,
       "Alle 3 Stunden; zuletzt gestartet 07.12.2026 09:30; Start fehlgeschlagen am 07.12.2026 "
       "08:00: Programm nicht gefunden; nächster Start 07.12.2026 12:30"},
      {"[Deutsch]", "090000000000000100202612060800", false, false,
       "Nur am Sonntag; zuletzt gestartet 06.12.2026 08:00; nächster Start 13.12.2026 00:00"},
  };
  for (const auto &c : cases) {
    program.writeFile("config.ini", std::string("Language\r\n") + c.language + "\r\n");
    LanguageTable texts(program.platform);
    texts.load();
    LocalTime failedAt = now;
    failedAt.hour = 8;
    const StartFailureView failure{failedAt, problemCode(StartProblem::ProgramNotFound)};
    const NextStart next = nextStart(c.line, now, c.started);
    EXPECT_EQ(customizedStatusText(c.line, &next, c.failed ? &failure : nullptr, texts),
              c.expected);
    // The brief form is the sentence's part about now and next, word for word.
    const std::string brief = customizedStatusBrief(&next, c.failed ? &failure : nullptr, texts);
    EXPECT_TRUE(c.expected.ends_with("; " + brief)) << brief;
    EXPECT_EQ(brief.find(';') != std::string::npos, c.failed) << brief;
  }
}

// A failed start is kept by its code and told later in its own words, never as the general one.
TEST(ScheduleStatusTest, EveryStartProblemIsKeptAndToldInItsOwnWords) {
  TestProgram program;
  LanguageTable table(program.platform);
  table.load();
  const ScheduleTexts texts(table);
  for (const auto problem : {StartProblem::ProgramNotFound, StartProblem::NotExecutable,
                             StartProblem::PermissionDenied, StartProblem::NoOpener}) {
    EXPECT_EQ(problemOfCode(problemCode(problem)), problem) << problemCode(problem);
    EXPECT_NE(problemText(problem, texts), problemText(StartProblem::Other, texts))
        << problemCode(problem);
  }
}

} // namespace
} // namespace lw::test
