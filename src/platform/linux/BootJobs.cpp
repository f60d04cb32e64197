#include "BootJobs.h"

#include "ChildOutput.h"

namespace lw {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace

std::vector<std::string> BootJobs::rebootCommands(std::string_view crontab) {
  std::vector<std::string> commands;
  while (!crontab.empty()) {
    const auto end = crontab.find('\n');
    std::string_view line = crontab.substr(0, end);
    crontab = end == std::string_view::npos ? std::string_view() : crontab.substr(end + 1);
    // cron skips blanks before a line's first field, and a '#' there starts a comment. The
    // special time "@reboot" is a word of its own, in lower case; the command is the rest of
    // the line after the blanks that follow it, as cron hands it to the shell.
    while (!line.empty() && isBlank(line.front()))
      line.remove_prefix(1);
    constexpr std::string_view reboot = "@reboot";
    if (!line.starts_with(reboot) || line.size() == reboot.size() || !isBlank(line[reboot.size()]))
      continue;
    line.remove_prefix(reboot.size());
    while (!line.empty() && isBlank(line.front()))
      line.remove_prefix(1);
    if (!line.empty())
      commands.emplace_back(line);
  }
  return commands;
}

LogonSourceListing BootJobs::list() {
  LogonSourceListing listing;
  auto answer = runForOutput(program, {"-l"}, timeLimit);
  if (!answer.failure.empty()) {
    listing.unavailable = std::move(answer.failure);
    return listing;
  }
  // cron's crontab ends with a failure, saying "no crontab for <user>", when the user has
  // none: that is an empty crontab, not a source that cannot be asked.
  if (answer.exitCode != 0)
    return listing;
  for (auto &command : rebootCommands(answer.output)) {
    LogonItem item;
    item.source = LogonSourceKind::BootJob;
    item.name = command;
    item.command = std::move(command);
    item.reason = LogonReason::AtBoot;
    listing.items.push_back(std::move(item));
  }
  return listing;
}

} // namespace lw
