// The logon recorder on Windows: Run values of the current user whose programs burn CPU, started
// as the shell starts them at logon, then rwlaunch --record. impact --json must give each the
// level it earned and its CPU within a fifth of the burner's own account.

#include "Installation.h"

#include "native/windows/WindowsStartupState.h"
#include "support/WideText.h"

#include <chrono>
#include <thread>
#include <windows.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

struct Case {
  const char *name;
  long burnMs; // never started: 0
  const char *level;
  const char *slip; // what the row catches
};

const Case cases[] = {
    {"high", 1500, "high", "the child its program started left out: 750 ms, medium"},
    {"medium", 500, "medium", "100 ns ticks divided by 1000 for milliseconds: 5000 ms, high"},
    {"never", 0, "not-measured", "no process of its program read as 0 ms (low)"},
};

// The values this test writes to the user's Run key, gone again however it ends.
struct RunValues {
  std::vector<std::wstring> names;
  ~RunValues() {
    for (const auto &name : names)
      RegDeleteKeyValueW(HKEY_CURRENT_USER, wide::fromUtf8(WindowsStartupState::runKey).c_str(),
                         name.c_str());
  }
};

// A Run value's command, started as the shell starts it at logon; in `job`, so that the burner
// and its child end with the test.
bool startAsAtLogon(const std::wstring &name, HANDLE job) {
  wchar_t command[4096];
  DWORD size = sizeof command;
  if (RegGetValueW(HKEY_CURRENT_USER, wide::fromUtf8(WindowsStartupState::runKey).c_str(),
                   name.c_str(), RRF_RT_REG_SZ, nullptr, command, &size) != ERROR_SUCCESS)
    return false;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE,
                      CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process))
    return false;
  AssignProcessToJobObject(job, process.hProcess);
  ResumeThread(process.hThread);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

TEST(ImpactRecordingWin32Test, RunValuesStartedAtLogonGetTheLevelsTheyBurned) {
  Installation lw;
  const fs::path reports = lw.dir.path() / "reports";
  fs::create_directories(reports);
  const std::string unique = "lw-impact-" + std::to_string(GetCurrentProcessId()) + "-";
  const HANDLE job = CreateJobObjectW(nullptr, nullptr);
  RunValues values;
  for (const Case &c : cases) {
    const fs::path program = lw.dir.path() / (unique + c.name + ".exe");
    fs::copy_file(LW_BURNER, program);
    const std::string command = "\"" + program.string() + "\" " + std::to_string(c.burnMs) + " \"" +
                                (reports / c.name).string() + "\"";
    values.names.push_back(wide::fromUtf8(unique + c.name));
    const std::wstring text = wide::fromUtf8(command);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER,
                              wide::fromUtf8(WindowsStartupState::runKey).c_str(),
                              values.names.back().c_str(), REG_SZ, text.c_str(),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    if (c.burnMs > 0) {
      ASSERT_TRUE(startAsAtLogon(values.names.back(), job)) << command;
    }
  }
  for (int tries = 0; tries < 600; ++tries) {
    if (fs::exists(reports / "high") && fs::exists(reports / "medium"))
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const Outcome recorded = lw.runFile("rwlaunch.exe", {"--record", "--seconds", "0"});
  EXPECT_EQ(recorded.status, 0) << recorded.err;
  const Outcome shown = lw.run({"impact", "--json"});
  TerminateJobObject(job, 0);
  CloseHandle(job);
  ASSERT_EQ(shown.status, 0) << shown.err;
  const QJsonArray entries =
      QJsonDocument::fromJson(QByteArray::fromStdString(shown.out)).object()["entries"].toArray();
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.name) + ": " + c.slip);
    const QJsonObject impact =
        entryNamed(entries, QString::fromStdString(unique + c.name))["impact"].toObject();
    EXPECT_EQ(impact["level"].toString().toStdString(), c.level) << shown.out;
    if (c.burnMs == 0)
      continue;
    const long measured = impact["cpu_ms"].toInt(-1);
    const long own = std::atol(slurp(reports / c.name).c_str());
    EXPECT_LE(std::labs(measured - own), std::max(own / 5, 30L))
        << "measured " << measured << " ms, by its own account " << own << " ms";
  }
}

} // namespace
} // namespace lw::test
