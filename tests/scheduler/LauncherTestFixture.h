#pragma once
// A launcher on a temporary program directory, a fixed clock and a recording shell.

#include "Fakes.h"
#include "scheduler/Launcher.h"
#include "support/TextFile.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace lw::test {

inline constexpr const char *entriesFile = "0013cst.ini";

struct Entry {
  std::string name;
  std::string command;
  std::string scheduleLine;
};

// The bytes of an entries file as the program writes it.
inline std::string entriesFileBytes(const std::vector<std::string> &lines) {
  std::string bytes =
      "Kestrumsoft Launchwright - Customized Entries\r\n" + std::string(46, '=') + "\r\n\r\n";
  for (std::size_t i = 0; i < lines.size(); ++i)
    bytes += lines[i] + (i + 1 < lines.size() ? "\r\n" : "");
  return bytes;
}

inline std::vector<std::string> blocksOf(const std::vector<Entry> &entries) {
  std::vector<std::string> lines;
  for (const auto &entry : entries)
    lines.insert(lines.end(), {entry.name, entry.command, entry.scheduleLine, "====="});
  return lines;
}

class LauncherTest : public ::testing::Test {
protected:
  TestProgram program;
  int trayRequests = 0;
  Launcher launcher{program.platform, [this] { ++trayRequests; }};

  void setFileLines(const std::vector<std::string> &lines) {
    program.writeFile(entriesFile, entriesFileBytes(lines));
  }

  // Writes the file and asks for a reload, which the next tick does before it walks the entries.
  void load(const std::vector<Entry> &entries) { loadLines(blocksOf(entries)); }
  void loadLines(const std::vector<std::string> &lines) {
    setFileLines(lines);
    launcher.reloadPending = true;
  }

  // The file's lines behind its three header lines.
  std::vector<std::string> fileLines() const {
    auto lines = textfile::readLines(program.file(entriesFile));
    EXPECT_GE(lines.size(), 3u);
    return {lines.begin() + std::min<std::ptrdiff_t>(3, std::ssize(lines)), lines.end()};
  }

  // Ticks at the given local time and tells how many entries the tick started.
  std::size_t tickAt(int year, int month, int day, int hour = 0, int minute = 0) {
    program.clock.set(year, month, day, hour, minute, 1);
    const auto before = program.shell.opened.size();
    launcher.tick();
    return program.shell.opened.size() - before;
  }

  // Whether a lone entry with this schedule line is started at the given time. The launcher
  // state carries over from call to call, apart from the entry, which is set afresh.
  bool dueAt(const std::string &scheduleLine, int year, int month, int day, int hour = 0,
             int minute = 0) {
    launcher.timerEntries = blocksOf({{"Probe", "probe", scheduleLine}});
    return tickAt(year, month, day, hour, minute) == 1;
  }
};

} // namespace lw::test
