#include "BootJobs.h"

#include "ChildOutput.h"
#include "CrontabReading.h"

#include <algorithm>
#include <cctype>

namespace lw {
namespace {

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

LogonSourceListing BootJobs::list() {
  LogonSourceListing listing;
  auto answer = runForOutput(program, {"-l"}, timeLimit);
  if (!answer.failure.empty()) {
    listing.unavailable = std::move(answer.failure);
    return listing;
  }
  // crontab ends with a failure, saying "no crontab for <user>", when the user has none: that is
  // an empty crontab, not a source that cannot be asked. Any other failure (the user may not use
  // cron, PAM refused, the program broke) is, and one that refused: cron itself reads the spool
  // and runs the jobs a user has even where crontab will not show them.
  if (answer.exitCode != 0) {
    const auto lines = linesOf(answer.errors);
    if (std::none_of(lines.begin(), lines.end(),
                     [](std::string_view line) { return line.starts_with("no crontab for "); })) {
      listing.unavailable = failureOf(program, answer);
      listing.refused = true;
    }
    return listing;
  }
  const crontab::Reading reading = crontab::read(answer.output);
  for (const auto &job : reading.reboots) {
    // A job that runs nothing is no program started at boot.
    if (job.command.empty())
      continue;
    LogonItem item;
    item.source = &description;
    item.name = job.written;
    item.command = job.command;
    item.reason = &atBoot;
    if (const auto &refused = reading.refused) {
      item.verdict = StartVerdict::Disabled;
      item.reason = refused->unterminated ? &unterminated : &notLoaded;
      item.detail = std::to_string(refused->number) + " (" + refused->text + ")";
    }
    listing.items.push_back(std::move(item));
  }
  return listing;
}

} // namespace lw
