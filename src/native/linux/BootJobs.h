#pragma once
// The @reboot jobs of the user's crontab, as cron's own crontab program prints the crontab and
// as the cron daemon reads it. They run when the machine starts, not when the user logs on, and
// are listed so that a program that starts "by itself" can be found; they are changed with
// `crontab -e`, never here. The line numbers a reason names are those `crontab -e` shows.

#include "platform/LogonSources.h"

#include <chrono>
#include <string>

namespace lw {

class BootJobs : public LogonSource {
public:
  // The program is a parameter so that tests can answer in its place.
  explicit BootJobs(std::string crontabProgram = "crontab",
                    std::chrono::milliseconds limit = std::chrono::seconds(5))
      : program(std::move(crontabProgram)), timeLimit(limit) {}

  static constexpr LogonReason atBoot{{824}, {839}}; // at boot, not at logon
  // cron loads none of the crontab: a line it cannot read, or a last line without its break.
  static constexpr LogonReason notLoaded{{903}, {904}};
  static constexpr LogonReason unterminated{{905}, {906}};
  static constexpr const LogonReason *reasons[] = {&atBoot, &notLoaded, &unterminated};
  static constexpr LogonKind description{"boot-job", {805}, {811}, reasons};

  LogonSourceKind kind() const override { return &description; }
  LogonSourceListing list() override;

private:
  std::string program;
  std::chrono::milliseconds timeLimit;
};

} // namespace lw
