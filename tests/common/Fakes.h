#pragma once
// Stand-ins for the operating system, shared by the tests of every folder.

#include "FakePlatform.h"
#include "platform/Platform.h"

#include <atomic>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace lw::test {

// Records every target instead of starting it. With an opener set, documents are shown through
// that real program instead, so that its exit status can be observed.
class RecordingShell : public Shell {
public:
  bool open(const std::string &target) override {
    opened.push_back(target);
    return succeeds;
  }
  std::vector<std::string> documentOpener(const std::string &document) const override {
    if (opener.empty())
      return {};
    return {opener, document};
  }
  // Recorded in `opened` too; fails with `problem` unless succeeds.
  StartResult start(const std::string &command, const std::string &workingDirectory,
                    StartStyle style) override {
    opened.push_back(command);
    started.push_back({command, workingDirectory, style});
    return succeeds ? StartResult{} : StartResult{problem, command};
  }
  std::string programFile(const std::string &command) const override {
    const auto found = programs.find(command);
    return found == programs.end() ? std::string() : found->second;
  }
  std::string publisher(const std::string &file) const override {
    const auto found = publishers.find(file);
    return found == publishers.end() ? std::string() : found->second;
  }
  std::map<std::string, std::string> programs;   // command -> the program file it starts
  std::map<std::string, std::string> publishers; // program file -> its publisher
  struct Start {
    std::string command;
    std::string workingDirectory;
    StartStyle style;
  };
  std::vector<std::string> opened;
  std::vector<Start> started;
  bool succeeds = true;
  std::string opener;
  StartProblem problem = StartProblem::ProgramNotFound;
};

// Another way a program starts at logon, with the items a test sets. Switching and starting
// change the item as a real source would, unless told to fail; every call is counted.
class FakeLogonSource : public LogonSource {
public:
  explicit FakeLogonSource(LogonSourceKind of) : sourceKind(of) {}
  LogonSourceKind kind() const override { return sourceKind; }
  // The window asks on a thread of its own while a test switches on the main one.
  LogonSourceListing list() override {
    const std::lock_guard lock(guard);
    ++listed;
    if (throws)
      throw std::runtime_error(*throws);
    return {items, unavailable};
  }
  bool setEnabled(const LogonItem &item, bool enabled) override {
    const std::lock_guard lock(guard);
    switches.emplace_back(item.name, enabled);
    for (auto &mine : items)
      if (mine.name == item.name && !fails)
        mine.verdict = enabled ? StartVerdict::Starts : StartVerdict::Disabled;
    return !fails;
  }
  bool start(const LogonItem &item) override {
    started.push_back(item.name);
    return !fails;
  }
  LogonSourceKind sourceKind;
  std::vector<LogonItem> items;
  std::optional<std::string> unavailable;
  std::optional<std::string> throws; // list() throws this, as a source that breaks does
  bool fails = false;
  std::atomic<int> listed{0};
  std::mutex guard;
  std::vector<std::pair<std::string, bool>> switches;
  std::vector<std::string> started;
};

// A clock that shows what the test sets and never sleeps.
class FixedClock : public Clock {
public:
  LocalTime now() const override { return time; }
  void sleepFor(std::chrono::milliseconds duration) override { slept += duration; }
  // Sets the time; the weekday is derived from the date.
  void set(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
  LocalTime time;
  std::chrono::milliseconds slept{0};
};

class FixedLocation : public ProgramLocation {
public:
  explicit FixedLocation(std::string program = {}) : executable(std::move(program)) {}
  std::string executablePath() const override { return executable; }
  char separator() const override { return '/'; }
  ProgramLayout layout() const override { return installed; }
  std::string messagesLanguage() const override { return language; }
  std::string executable;
  ProgramLayout installed; // the portable layout unless a test sets one
  std::string language;
};

// Answers questions from a queue and records every text shown. A question that finds the queue
// empty fails the test, and so does an answer left over at the end (checkFinished).
class ScriptedPrompter : public Prompter {
public:
  struct Shown {
    std::string text;
    std::string caption;
    bool question;
  };
  bool ask(const std::string &text, const std::string &caption) override;
  void tell(const std::string &text, const std::string &caption) override;
  ScriptedPrompter &answer(bool yes) {
    answers.push_back(yes);
    return *this;
  }
  void checkFinished() const;
  ~ScriptedPrompter() override { checkFinished(); }

  std::vector<Shown> shown;
  std::deque<bool> answers;
};

class ScriptedFileChooser : public FileChooser {
public:
  std::optional<std::string> chooseFile() override {
    ++asked;
    return choice;
  }
  std::optional<std::string> choice;
  int asked = 0;
};

// A temporary directory removed at the end of the test.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::filesystem::path &path() const { return root; }
  std::string str() const { return root.string(); }

private:
  std::filesystem::path root;
};

// A program directory in a temporary folder with the shipped data files copied in, and a
// Platform built on fakes that points at it.
class TestProgram {
public:
  TestProgram();
  // Paths with "/" on every system, as FixedLocation separates with "/"; Windows accepts them.
  std::string file(const std::string &name) const { return (dir.path() / name).generic_string(); }
  void writeFile(const std::string &name, const std::string &bytes) const;
  std::string readFile(const std::string &name) const;

  TempDir dir;
  FakeRegistry registry;
  RecordingShell shell;
  FixedClock clock;
  FixedLocation location;
  ScriptedPrompter prompter;
  ScriptedFileChooser chooser;
  FakeStartupState startup;
  Platform platform;
};

// The source folder of the shipped data files.
std::filesystem::path resourceDir();

} // namespace lw::test
