// The machine's Run key in both of its views, through the entry commands, on Wine's registry:
// 32-bit installers write their values where a 32-bit program sees the key, and Explorer keeps
// their switches under StartupApproved\Run32. Every value here carries the process id, and the
// prefix is thrown away after the run.
#include "Fakes.h"
#ifdef LW_COMMAND_LINE
#include "cli/Commands.h"
#endif
#include "entries/EntryCommands.h"
#include "entries/StartupStatus.h"
#include "native/windows/WindowsRegistry.h"
#include "native/windows/WindowsStartupState.h"
#include "storage/EntryFormat.h"
#include "storage/EntryStore.h"
#include "storage/Reversal.h"
#include "support/WideText.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <windows.h>

namespace lw {
namespace {

constexpr const wchar_t *runKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t *approvedKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

// A place a value may be, read and written with the plain registry calls.
struct Place {
  std::wstring key;
  REGSAM view;
};
const Place run64{runKey, KEY_WOW64_64KEY};
const Place run32{runKey, KEY_WOW64_32KEY};
const Place approved64{approvedKey, KEY_WOW64_64KEY};
const Place approved32{std::wstring(approvedKey) + L"32", KEY_WOW64_64KEY};

std::optional<std::string> raw(const Place &place, const std::string &name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, place.key.c_str(), 0, KEY_QUERY_VALUE | place.view, &key) !=
      ERROR_SUCCESS)
    return std::nullopt;
  std::string data(512, '\0');
  DWORD size = static_cast<DWORD>(data.size());
  const LONG status = RegQueryValueExW(key, wide::fromUtf8(name).c_str(), nullptr, nullptr,
                                       reinterpret_cast<BYTE *>(data.data()), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS)
    return std::nullopt;
  data.resize(size);
  return data;
}

void putText(const Place &place, const std::string &name, const std::string &text) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, place.key.c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE | place.view, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_TRUE(winreg::setText(key, name, text));
  RegCloseKey(key);
}

void removeValue(const Place &place, const std::string &name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, place.key.c_str(), 0, KEY_SET_VALUE | place.view, &key) ==
      ERROR_SUCCESS) {
    RegDeleteValueW(key, wide::fromUtf8(name).c_str());
    RegCloseKey(key);
  }
}

class RunKeyViewsTest : public ::testing::Test {
protected:
  // The empty data files a program folder ships with.
  RunKeyViewsTest() {
    std::ofstream(dir.path() / "0013bkp.ini", std::ios::binary) << backupHeader << "\r\n";
    std::ofstream(dir.path() / "0013cst.ini", std::ios::binary) << customEntriesHeader << "\r\n";
  }
  ~RunKeyViewsTest() override {
    for (const Place *place : {&run64, &run32, &approved64, &approved32})
      removeValue(*place, name);
  }

  // The machine's entries as the list shows them: name, command, view and verdict.
  std::vector<RunEntry> listed() {
    std::vector<RunEntry> ours;
    for (auto &entry : startup.entries(RegistryRoot::LocalMachine).value_or(ours))
      if (entry.name == name)
        ours.push_back(std::move(entry));
    return ours;
  }

  test::TempDir dir;
  WindowsRegistry registry;
  test::RecordingShell shell;
  test::FixedClock clock;
  test::FixedLocation location{(dir.path() / "launchwright.exe").generic_string()};
  test::ScriptedPrompter prompter;
  test::ScriptedFileChooser chooser;
  WindowsStartupState startup{registry};
  Platform platform{registry, shell, clock, location, prompter, chooser, startup};
  const std::string name = "LaunchwrightTest-" + std::to_string(GetCurrentProcessId());
};

// A 64-bit entry of the same name is beside the 32-bit one all along: whatever is done to the
// one must never reach the other.
TEST_F(RunKeyViewsTest, EachViewKeepsItsOwnEntryThroughEveryCommand) {
  putText(run64, name, "C:\\sixty-four.exe");
  putText(run32, name, "C:\\thirty-two.exe /x");
  const auto other = [&] { return std::pair(raw(run64, name), raw(approved64, name)); };
  const auto untouched = other();

  auto entries = listed();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_FALSE(entries[0].view32);
  EXPECT_EQ(entries[1].command, "C:\\thirty-two.exe /x");
  EXPECT_TRUE(entries[1].view32);
  // The row the window shows says which of the two it is.
  std::filesystem::copy_file(LW_LANGUAGE_FILE, dir.path() / LanguageTable::fileName);
  LanguageTable texts(platform);
  texts.loadSection("[English]");
  Toolbox toolbox(platform);
  int rows = 0;
  for (const auto &row : readStartupList(platform, toolbox, texts).rows)
    if (row.name == name) {
      const std::string reason = entryStatus(row, texts).reason;
      EXPECT_EQ(reason.find("32-bit") != std::string::npos, rows++ == 1) << reason;
    }
  EXPECT_EQ(rows, 2);

  ASSERT_TRUE(setEntryEnabled(platform, EntryKind::AllUsers, name, false, true));
  EXPECT_EQ(raw(approved32, name).value_or("").substr(0, 1), "\x03");
  entries = listed();
  EXPECT_EQ(entries[0].verdict, StartVerdict::ProgramMissing);
  EXPECT_EQ(entries[1].verdict, StartVerdict::Disabled);

  EntryStore store(platform);
  const EntryValues old{EntryKind::AllUsers, name, "C:\\thirty-two.exe /x", {}, true};
  ASSERT_EQ(saveEntry(store, old, {EntryKind::AllUsers, name, "C:\\thirty-two.exe /y", {}}, {}),
            SaveOutcome::Saved);
  EXPECT_EQ(listed()[1].command, "C:\\thirty-two.exe /y");
  const auto value = raw(run32, name);
  const auto state = raw(approved32, name);

  ASSERT_EQ(store.removeWithBackup(EntryKind::AllUsers, name, "C:\\thirty-two.exe /y", true),
            RemovalOutcome::Removed);
  EXPECT_EQ(raw(run32, name), std::nullopt);
  EXPECT_EQ(raw(approved32, name), std::nullopt) << "a new entry of the name would be born off";
  EXPECT_EQ(other(), untouched);

  // The edit's record comes first, then the deletion's: the deletion is the second record.
  ASSERT_EQ(restoreRecord(store, toolbox, 2).restored, 1);
  EXPECT_EQ(raw(run32, name), value);
  EXPECT_EQ(raw(approved32, name), state);
  EXPECT_EQ(other(), untouched);
}

#ifdef LW_COMMAND_LINE
// The command line tells the two entries of one name apart (Kind, "view") and addresses each
// with --view; without it, it names the option instead of doing either.
TEST_F(RunKeyViewsTest, CommandLineAddressesEachViewByItsOwn) {
  putText(run64, name, "C:\\sixty-four.exe");
  putText(run32, name, "C:\\thirty-two.exe /x");
  std::filesystem::copy_file(LW_LANGUAGE_FILE, dir.path() / LanguageTable::fileName);
  LanguageTable texts(platform);
  texts.loadSection("[English]");
  cli::Context context{platform, texts, "rwlaunch.exe"};
  // Our lines of an output, each cut to what follows `key` up to the next quote or tab.
  const auto ours = [&](const std::string &out, const std::string &key) {
    std::string found;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
      const std::string line = out.substr(start, end - start);
      const std::size_t at = line.find(key);
      if (line.find(name) != std::string::npos && at != std::string::npos)
        found += line.substr(at + key.size(),
                             line.find_first_of("\"\t", at + key.size()) - at - key.size()) +
                 ";";
    }
    return found;
  };
  const cli::Kinds machine{EntryKind::AllUsers, {}};
  const auto views = [&] {
    return ours(cli::listEntries(context, cli::ListForm::Json, machine).out, "\"view\":\"");
  };
  EXPECT_EQ(views(), "64;32;");
  EXPECT_EQ(ours(cli::listEntries(context, cli::ListForm::Lines, machine).out, "All Users"),
            "; (32-bit);");

  struct Step {
    const char *what;
    std::function<cli::Result()> run;
    int status;
    std::string seen; // the output, or the refusal, holds this
    std::string viewsAfter;
  };
  const Step steps[] = {
      {"both views, no --view",
       [&] { return cli::deleteEntry(context, EntryKind::AllUsers, name); }, cli::exitUsage,
       "add --view 32 or --view 64", "64;32;"},
      {"show --view 64", [&] { return cli::showEntry(context, EntryKind::AllUsers, name, false); },
       cli::exitSuccess, "C:\\sixty-four.exe", "64;32;"},
      {"disable --view 32",
       [&] { return cli::switchEntry(context, EntryKind::AllUsers, name, false, true); },
       cli::exitSuccess, "switched off", "64;32;"},
      {"delete --view 32",
       [&] { return cli::deleteEntry(context, EntryKind::AllUsers, name, true); }, cli::exitSuccess,
       "", "64;"},
      {"delete --view 32 again",
       [&] { return cli::deleteEntry(context, EntryKind::AllUsers, name, true); }, cli::exitUsage,
       "of the 32-bit view", "64;"},
  };
  for (const auto &step : steps) {
    const cli::Result result = step.run();
    EXPECT_EQ(result.status, step.status) << step.what << ": " << result.error;
    EXPECT_NE((result.out + result.error).find(step.seen), std::string::npos) << step.what;
    EXPECT_EQ(views(), step.viewsAfter) << step.what;
  }
  EXPECT_EQ(raw(approved64, name), std::nullopt) << "the 64-bit entry was switched off too";
  // The deleted entry's record says its view.
  EXPECT_EQ(ours(cli::listBackup(context, true).out, "\"view\":\""), "32;");
}
#endif

// The same for the usual key, whose switch a deletion used to leave behind.
TEST_F(RunKeyViewsTest, DeletionTakesTheSwitchAlongAndRestoreBringsItBack) {
  putText(run64, name, "cmd /c exit");
  ASSERT_TRUE(setEntryEnabled(platform, EntryKind::AllUsers, name, false));
  const auto value = raw(run64, name);
  const auto state = raw(approved64, name);
  ASSERT_TRUE(state);

  EntryStore store(platform);
  ASSERT_EQ(store.removeWithBackup(EntryKind::AllUsers, name, "cmd /c exit"),
            RemovalOutcome::Removed);
  EXPECT_EQ(raw(approved64, name), std::nullopt);
  putText(run64, name, "cmd /c exit");
  EXPECT_EQ(listed().at(0).verdict, StartVerdict::Starts);

  Toolbox toolbox(platform);
  ASSERT_EQ(restoreRecord(store, toolbox, 1).restored, 1);
  EXPECT_EQ(raw(run64, name), value);
  EXPECT_EQ(raw(approved64, name), state);
  EXPECT_EQ(raw(run32, name), std::nullopt);
}

} // namespace
} // namespace lw
