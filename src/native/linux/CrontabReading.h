#pragma once
// A user's crontab as Debian's cron daemon reads it. cron loads a crontab whole or not at all:
// one line it cannot read (a minute of 61, "@REBOOT", a last line without its line break) and
// none of the crontab's jobs runs, the @reboot ones included. So the @reboot jobs are only half
// the answer; the other half is whether cron takes the crontab at all.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw::crontab {

struct RebootJob {
  std::string written; // the line after "@reboot" and its blanks, exact bytes
  std::string command; // what cron hands the shell: up to the first unescaped '%'
};

// The first line that makes cron refuse the crontab.
struct RefusedLine {
  std::size_t number = 0;    // from 1
  std::string text;          // as written, without its line break
  bool unterminated = false; // read well, but the crontab ends without a line break after it
};

struct Reading {
  std::vector<RebootJob> reboots; // every @reboot line cron could read, in order
  std::optional<RefusedLine> refused;
};

Reading read(std::string_view crontab);

// The command of a job as cron runs it: "\%" is a '%' and "\\" a backslash; the first other '%'
// ends the command (what follows is the job's standard input); other backslashes stay.
std::string commandRun(std::string_view written);

} // namespace lw::crontab
