#include "BootJobs.h"

#include "ChildOutput.h"

#include <algorithm>
#include <cctype>

namespace lw {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The lines a program wrote to its error output, without their trailing blanks; empty ones left
// out.
std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
      line.remove_suffix(1);
    if (!line.empty())
      lines.push_back(line);
  }
  return lines;
}

// What crontab said when it failed, on one line; how it ended when it said nothing.
std::string failureOf(const std::string &program, const ChildOutput &answer) {
  std::string words;
  for (const auto line : linesOf(answer.errors))
    words += (words.empty() ? "" : " ") + std::string(line);
  return words.empty() ? program + " -l: exit status " + std::to_string(answer.exitCode) : words;
}

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
  // crontab ends with a failure, saying "no crontab for <user>", when the user has none: that is
  // an empty crontab, not a source that cannot be asked. Any other failure (the user may not use
  // cron, PAM refused, the program broke) is.
  if (answer.exitCode != 0) {
    const auto lines = linesOf(answer.errors);
    if (std::none_of(lines.begin(), lines.end(),
                     [](std::string_view line) { return line.starts_with("no crontab for "); }))
      listing.unavailable = failureOf(program, answer);
    return listing;
  }
  for (auto &command : rebootCommands(answer.output)) {
    LogonItem item;
    item.source = &description;
    item.name = command;
    item.command = std::move(command);
    item.reason = &atBoot;
    listing.items.push_back(std::move(item));
  }
  return listing;
}

} // namespace lw
