// The Startup folders and the RunOnce keys as Explorer sees them: real shortcuts made and read by
// the shell, in Wine's own Startup folders, switched through its real registry.
#include "Fakes.h"
#include "RegistryTestKey.h"
#include "native/Native.h"
#include "native/windows/LogonTasks.h"
#include "native/windows/RunOnceKeys.h"
#include "native/windows/StartupApproved.h"
#include "native/windows/StartupFolders.h"
#include "native/windows/WindowsLocation.h"
#include "native/windows/WindowsRegistry.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <thread>
#include <tuple>
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <shobjidl.h>
#include <taskschd.h>

namespace lw {
namespace {

namespace fs = std::filesystem;

bool underWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// A shortcut made as any program makes one, through the shell.
bool makeShortcut(const fs::path &file, const std::wstring &target, const std::wstring &arguments) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IShellLinkW *link = nullptr;
  IPersistFile *persisted = nullptr;
  bool saved =
      SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void **>(&link))) &&
      SUCCEEDED(link->SetPath(target.c_str())) &&
      SUCCEEDED(link->SetArguments(arguments.c_str())) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&persisted))) &&
      SUCCEEDED(persisted->Save(file.wstring().c_str(), TRUE));
  if (persisted)
    persisted->Release();
  if (link)
    link->Release();
  CoUninitialize();
  return saved;
}

std::string approvedValue(RegistryRoot root, const std::string &name) {
  return startupApproved::read(root, StartupFolders::approvedKey, name).value_or("(none)");
}

TEST(StartupFolders, ListsRealShortcutsAndSwitchesThemAsExplorerReadsThem) {
  if (!underWine())
    GTEST_SKIP() << "works in the real Startup folders: only in Wine's temporary prefix";
  const auto folders = StartupFolders::nativeFolders();
  ASSERT_EQ(folders.size(), 2u);
  ASSERT_FALSE(folders[0].allUsers);
  ASSERT_TRUE(folders[1].allUsers);
  const fs::path userFolder = fs::u8path(folders[0].path);
  const fs::path commonFolder = fs::u8path(folders[1].path);
  fs::create_directories(userFolder);
  fs::create_directories(commonFolder);

  test::TempDir dir;
  const fs::path program = dir.path() / "program folder" / "stand in.exe";
  fs::create_directories(program.parent_path());
  fs::copy_file(LW_STAND_IN_PROGRAM, program);
  const std::string tag = std::to_string(GetCurrentProcessId());
  const std::string tool = "Tool " + tag + ".lnk";
  const std::string gone = "Gone " + tag + ".lnk";
  const std::string broken = "Broken " + tag + ".lnk";
  const std::string script = "Script " + tag + ".cmd";
  ASSERT_TRUE(makeShortcut(userFolder / tool, program.wstring(), L"/min --x"));
  ASSERT_TRUE(makeShortcut(userFolder / gone, L"C:\\Nowhere\\gone.exe", L""));
  std::ofstream(userFolder / broken, std::ios::binary) << "not a shortcut";
  std::ofstream(commonFolder / script, std::ios::binary) << "@exit 0\r\n";

  StartupFolders source; // the shell's own folders
  const auto items = [&] {
    std::map<std::string, LogonItem> found;
    for (auto &item : source.list().items)
      if (item.name.find(tag) != std::string::npos)
        found[item.name] = item;
    return found;
  };
  auto listed = items();
  ASSERT_EQ(listed.size(), 4u);
  const LogonItem toolItem = listed[tool];
  EXPECT_EQ(toolItem.command, "\"" + program.string() + "\" /min --x");
  EXPECT_EQ(toolItem.file, (userFolder / tool).string());
  EXPECT_EQ(toolItem.verdict, StartVerdict::Starts);
  EXPECT_EQ(toolItem.reason, &StartupFolders::startupShortcut);
  // Edit opens the folder: opening the shortcut would start its program.
  EXPECT_EQ(source.fileToOpen(toolItem), userFolder.string());
  EXPECT_EQ(toolItem.switchBy, LogonSwitch::Approved);
  EXPECT_TRUE(toolItem.canStart);
  EXPECT_FALSE(toolItem.allUsers);
  EXPECT_EQ(listed[gone].verdict, StartVerdict::ProgramMissing);
  EXPECT_EQ(listed[gone].detail, "C:\\Nowhere\\gone.exe");
  EXPECT_EQ(listed[broken].verdict, StartVerdict::Unreadable);
  EXPECT_FALSE(listed[broken].detail.empty());
  EXPECT_EQ(listed[script].command, (commonFolder / script).string());
  EXPECT_TRUE(listed[script].allUsers);

  // Off and on in the key of the folder's own root, in Task Manager's bytes.
  ASSERT_TRUE(source.setEnabled(toolItem, false));
  const std::string off = approvedValue(RegistryRoot::CurrentUser, tool);
  ASSERT_EQ(off.size(), 12u);
  EXPECT_EQ(off.substr(0, 4), std::string("\x03\0\0\0", 4));
  EXPECT_NE(off.substr(4), std::string(8, '\0')) << "the time it was switched off";
  EXPECT_EQ(approvedValue(RegistryRoot::LocalMachine, tool), "(none)");
  EXPECT_EQ(items()[tool].verdict, StartVerdict::Disabled);
  ASSERT_TRUE(source.setEnabled(toolItem, true));
  EXPECT_EQ(approvedValue(RegistryRoot::CurrentUser, tool),
            std::string("\x02\0\0\0\0\0\0\0\0\0\0\0", 12));
  EXPECT_EQ(items()[tool].verdict, StartVerdict::Starts);
  ASSERT_TRUE(source.setEnabled(listed[script], false));
  EXPECT_EQ(approvedValue(RegistryRoot::LocalMachine, script).substr(0, 1), "\x03");
  EXPECT_EQ(approvedValue(RegistryRoot::CurrentUser, script), "(none)");
  EXPECT_EQ(items()[script].verdict, StartVerdict::Disabled);

  LogonItem elsewhere = toolItem;
  elsewhere.allUsers = true; // no such file in the common folder
  EXPECT_FALSE(source.setEnabled(elsewhere, false));
  EXPECT_EQ(approvedValue(RegistryRoot::LocalMachine, tool), "(none)");

  // Starting opens the shortcut as Explorer would: the program behind it runs.
  ASSERT_TRUE(source.start(toolItem));
  const fs::path marker = program.parent_path() / "started";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!fs::exists(marker) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(fs::exists(marker)) << "the shortcut's program did not run within 10 s";
  std::this_thread::sleep_for(std::chrono::milliseconds(300)); // let it end before cleanup

  for (const auto &name : {tool, gone, broken})
    fs::remove(userFolder / name);
  fs::remove(commonFolder / script);
  startupApproved::remove(RegistryRoot::CurrentUser, StartupFolders::approvedKey, tool);
  startupApproved::remove(RegistryRoot::LocalMachine, StartupFolders::approvedKey, script);
}

// Registers (or with an empty xml deletes) a task in the Task Scheduler's root folder, as any
// program would; false when the Task Scheduler refuses.
bool registerTask(const std::wstring &name, const std::wstring &xml) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ITaskService *service = nullptr;
  ITaskFolder *root = nullptr;
  IRegisteredTask *task = nullptr;
  VARIANT none;
  VariantInit(&none);
  BSTR rootPath = SysAllocString(L"\\");
  BSTR taskName = SysAllocString(name.c_str());
  BSTR text = SysAllocString(xml.c_str());
  bool done =
      SUCCEEDED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_ITaskService, reinterpret_cast<void **>(&service))) &&
      SUCCEEDED(service->Connect(none, none, none, none)) &&
      SUCCEEDED(service->GetFolder(rootPath, &root)) &&
      (xml.empty() ? SUCCEEDED(root->DeleteTask(taskName, 0))
                   : SUCCEEDED(root->RegisterTask(taskName, text, TASK_CREATE_OR_UPDATE, none, none,
                                                  TASK_LOGON_INTERACTIVE_TOKEN, none, &task)));
  SysFreeString(rootPath);
  SysFreeString(taskName);
  SysFreeString(text);
  for (IUnknown *object : {static_cast<IUnknown *>(task), static_cast<IUnknown *>(root),
                           static_cast<IUnknown *>(service)})
    if (object)
      object->Release();
  CoUninitialize();
  return done;
}

DWORD schedulerState() {
  SERVICE_STATUS status{};
  const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  const SC_HANDLE service =
      manager ? OpenServiceW(manager, L"Schedule", SERVICE_QUERY_STATUS) : nullptr;
  if (service)
    QueryServiceStatus(service, &status);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return status.dwCurrentState;
}

TEST(LogonTasks, ListsTasksWithALogonTriggerOrSaysWhyTheTaskSchedulerWasNotAsked) {
  if (!underWine())
    GTEST_SKIP() << "registers a task: only in Wine's temporary prefix";
  const std::wstring logon = L"Logon task " + std::to_wstring(GetCurrentProcessId());
  const std::wstring timed = L"Timed task " + std::to_wstring(GetCurrentProcessId());
  const auto task = [](const wchar_t *trigger, const wchar_t *enabled) {
    return std::wstring(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
                        L"<Task version=\"1.2\" "
                        L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
                        L"<Triggers>") +
           trigger + L"</Triggers><Settings><Enabled>" + enabled +
           L"</Enabled></Settings><Actions><Exec><Command>C:\\Tools\\tool.exe</Command>"
           L"<Arguments>/quiet</Arguments></Exec></Actions></Task>";
  };
  // Wine's scheduler service runs only while something keeps it: a stopped one is said to be
  // stopped at once, and the listing does not start it.
  if (schedulerState() == SERVICE_STOPPED) {
    const auto started = std::chrono::steady_clock::now();
    const auto stopped = LogonTasks().list();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    ASSERT_TRUE(stopped.unavailable);
    EXPECT_NE(stopped.unavailable->find("not running"), std::string::npos) << *stopped.unavailable;
    EXPECT_EQ(schedulerState(), SERVICE_STOPPED) << "the listing started the service";
  }

  const bool logonRegistered =
      registerTask(logon, task(L"<LogonTrigger><Enabled>true</Enabled></LogonTrigger>", L"false"));
  const bool registered =
      logonRegistered &&
      registerTask(timed, task(L"<TimeTrigger><StartBoundary>2030-01-01T00:00:00</StartBoundary>"
                               L"</TimeTrigger>",
                               L"true"));
  // Registering started the service. Wine's may still not answer: the listing then says so in
  // time instead of waiting.
  const auto started = std::chrono::steady_clock::now();
  const auto listing = LogonTasks(std::chrono::seconds(3)).list();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  if (logonRegistered)
    registerTask(logon, L"");
  if (registered)
    registerTask(timed, L"");
  if (!registered)
    GTEST_SKIP() << "Wine's Task Scheduler does not take a task with a logon trigger";
  if (listing.unavailable)
    GTEST_SKIP() << "Wine's Task Scheduler: " << *listing.unavailable;
  std::map<std::string, LogonItem> found;
  for (const auto &item : listing.items)
    found[item.name] = item;
  EXPECT_FALSE(found.contains("\\Timed task " + std::to_string(GetCurrentProcessId())));
  const auto it = found.find("\\Logon task " + std::to_string(GetCurrentProcessId()));
  ASSERT_NE(it, found.end());
  EXPECT_EQ(it->second.command, "C:\\Tools\\tool.exe /quiet");
  EXPECT_EQ(it->second.verdict, StartVerdict::Disabled);
  EXPECT_EQ(it->second.reason, &LogonTasks::logonTrigger);
  EXPECT_EQ(it->second.switchBy, LogonSwitch::None);
}

// The machine's 32-bit view of the test's key is removed as the user's is.
class RunOnceTest : public test::RegistryKeyTest {
protected:
  ~RunOnceTest() override {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, parent.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                      &key) == ERROR_SUCCESS) {
      RegDeleteTreeA(key, nullptr);
      RegCloseKey(key);
      RegDeleteKeyExA(HKEY_LOCAL_MACHINE, parent.c_str(), KEY_WOW64_32KEY, 0);
    }
  }
};

TEST_F(RunOnceTest, ListsEveryValueOfBothRootsAndTheMachines32BitViewWithWhatItWouldRun) {
  WindowsRegistry registry;
  const std::string self = moduleFileName(nullptr);
  ASSERT_TRUE(registry.write(RegistryRoot::CurrentUser, path, "!Setup", "\"" + self + "\" /x"));
  ASSERT_TRUE(registry.write(RegistryRoot::CurrentUser, path, "Gone", "C:\\Nowhere\\gone.exe"));
  ASSERT_TRUE(registry.write(RegistryRoot::LocalMachine32, path, "Setup32", self));
  ASSERT_TRUE(registry.write(RegistryRoot::LocalMachine32, path, "Gone32", "C:\\Nowhere\\x.exe"));
  RunOnceKeys source(registry, path);
  using Row = std::tuple<StartVerdict, std::string, std::string, bool>; // detail, all users
  std::map<std::string, Row> rows;
  const auto items = source.list().items;
  for (const auto &item : items) {
    rows[item.name] = {item.verdict, item.command, item.detail, item.allUsers};
    EXPECT_EQ(item.reason, &RunOnceKeys::runsOnce);
    EXPECT_EQ(item.switchBy, LogonSwitch::None);
  }
  EXPECT_EQ(
      rows,
      (std::map<std::string, Row>{
          {"!Setup", {StartVerdict::Starts, "\"" + self + "\" /x", "", false}},
          {"Gone",
           {StartVerdict::ProgramMissing, "C:\\Nowhere\\gone.exe", "C:\\Nowhere\\gone.exe", false}},
          {"Setup32", {StartVerdict::Starts, self, "32-bit", true}},
          {"Gone32",
           {StartVerdict::ProgramMissing, "C:\\Nowhere\\x.exe", "C:\\Nowhere\\x.exe; 32-bit",
            true}}}));
  EXPECT_EQ(items.size(), rows.size()) << "a value listed twice";

  std::set<LogonSourceKind> kinds;
  for (const auto &native : makeNativeLogonSources())
    kinds.insert(native->kind());
  EXPECT_TRUE(kinds.contains(&StartupFolders::description));
  EXPECT_TRUE(kinds.contains(&RunOnceKeys::description));
  EXPECT_TRUE(kinds.contains(&LogonTasks::description));
}

} // namespace
} // namespace lw
