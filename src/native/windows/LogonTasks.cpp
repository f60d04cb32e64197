#include "LogonTasks.h"

#include "ComObjects.h"
#include "support/WideText.h"

#include <atomic>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <taskschd.h>

namespace lw {
namespace {

class Text {
public:
  Text() = default;
  explicit Text(const wchar_t *text) : value(SysAllocString(text)) {}
  Text(const Text &) = delete;
  Text &operator=(const Text &) = delete;
  ~Text() { SysFreeString(value); }
  BSTR *out() { return &value; }
  operator BSTR() const { return value; }
  std::string utf8() const { return value ? wide::toUtf8(value) : std::string(); }

private:
  BSTR value = nullptr;
};

VARIANT index(LONG number) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = number;
  return value;
}

bool hasLogonTrigger(IRegisteredTask &task) {
  ComPointer<ITaskDefinition> definition;
  ComPointer<ITriggerCollection> triggers;
  LONG count = 0;
  if (FAILED(task.get_Definition(definition.out())) ||
      FAILED(definition->get_Triggers(triggers.out())) || FAILED(triggers->get_Count(&count)))
    return false;
  for (LONG number = 1; number <= count; ++number) { // the collections count from 1
    ComPointer<ITrigger> trigger;
    TASK_TRIGGER_TYPE2 type = TASK_TRIGGER_EVENT;
    if (SUCCEEDED(triggers->get_Item(number, trigger.out())) &&
        SUCCEEDED(trigger->get_Type(&type)) && type == TASK_TRIGGER_LOGON)
      return true;
  }
  return false;
}

// The programs a task runs, as a Run value would hold each; several are separated by " & ".
std::string commandOf(IRegisteredTask &task) {
  ComPointer<ITaskDefinition> definition;
  ComPointer<IActionCollection> actions;
  LONG count = 0;
  if (FAILED(task.get_Definition(definition.out())) ||
      FAILED(definition->get_Actions(actions.out())) || FAILED(actions->get_Count(&count)))
    return {};
  std::string command;
  for (LONG number = 1; number <= count; ++number) {
    ComPointer<IAction> action;
    ComPointer<IExecAction> exec;
    if (FAILED(actions->get_Item(number, action.out())) ||
        FAILED(action->QueryInterface(IID_IExecAction, exec.outVoid())))
      continue;
    Text path;
    Text arguments;
    exec->get_Path(path.out());
    exec->get_Arguments(arguments.out());
    std::string program = path.utf8();
    if (program.find_first_of(" \t") != std::string::npos && !program.starts_with('"'))
      program = "\"" + program + "\"";
    if (!arguments.utf8().empty())
      program += " " + arguments.utf8();
    command += (command.empty() ? "" : " & ") + program;
  }
  return command;
}

// Adds the folder's logon tasks and those of the folders inside it. Gives what the folder's own
// tasks could not be enumerated for: a subfolder that cannot be read is passed over, but a root
// that cannot be means the scheduler cannot be asked, which is no "no tasks".
HRESULT addFolder(ITaskFolder &folder, LogonSourceListing &listing, int depth) {
  ComPointer<IRegisteredTaskCollection> tasks;
  LONG count = 0;
  HRESULT enumerated = folder.GetTasks(TASK_ENUM_HIDDEN, tasks.out());
  if (SUCCEEDED(enumerated))
    enumerated = tasks->get_Count(&count);
  if (SUCCEEDED(enumerated)) {
    for (LONG number = 1; number <= count; ++number) {
      ComPointer<IRegisteredTask> task;
      if (FAILED(tasks->get_Item(index(number), task.out())))
        continue;
      if (!hasLogonTrigger(*task))
        continue;
      LogonItem item;
      item.source = &LogonTasks::description;
      Text path;
      task->get_Path(path.out());
      item.name = path.utf8();
      item.command = commandOf(*task);
      item.reason = &LogonTasks::logonTrigger;
      VARIANT_BOOL enabled = VARIANT_TRUE;
      task->get_Enabled(&enabled);
      item.state = enabled ? "enabled" : "disabled";
      if (!enabled)
        item.verdict = StartVerdict::Disabled;
      listing.items.push_back(std::move(item));
    }
  }
  ComPointer<ITaskFolderCollection> folders;
  if (depth > 32 || FAILED(folder.GetFolders(0, folders.out())) ||
      FAILED(folders->get_Count(&count)))
    return enumerated;
  for (LONG number = 1; number <= count; ++number) {
    ComPointer<ITaskFolder> inner;
    if (SUCCEEDED(folders->get_Item(index(number), inner.out())))
      addFolder(*inner, listing, depth + 1);
  }
  return enumerated;
}

// Why the Task Scheduler is not asked, when its service does not run. Connect would start a
// stopped service itself, which a listing has no business doing, and Wine's raises an exception
// no caller can catch when its service is asked while it starts. A stopped scheduler starts
// nothing at logon, so there is nothing to list either. When the service manager cannot tell,
// the scheduler is asked.
std::optional<std::string> schedulerNotRunning() {
  const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager)
    return std::nullopt;
  std::optional<std::string> why;
  if (const SC_HANDLE service = OpenServiceW(manager, L"Schedule", SERVICE_QUERY_STATUS)) {
    SERVICE_STATUS status{};
    if (QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_RUNNING)
      why = "the Task Scheduler service is not running";
    CloseServiceHandle(service);
  } else if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
    why = "the Task Scheduler service is not installed";
  }
  CloseServiceHandle(manager);
  return why;
}

LogonSourceListing askTaskScheduler() {
  LogonSourceListing listing;
  if (auto why = schedulerNotRunning()) {
    listing.unavailable = "Task Scheduler: " + *why;
    return listing;
  }
  const ComScope com(COINIT_MULTITHREADED);
  ComPointer<ITaskService> service;
  ComPointer<ITaskFolder> root;
  VARIANT none;
  VariantInit(&none);
  const Text rootPath(L"\\");
  HRESULT result = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ITaskService, service.outVoid());
  if (SUCCEEDED(result))
    result = service->Connect(none, none, none, none);
  if (SUCCEEDED(result))
    result = service->GetFolder(rootPath, root.out());
  if (SUCCEEDED(result))
    result = addFolder(*root, listing, 0);
  if (FAILED(result)) {
    listing.items.clear();
    listing.unavailable = "Task Scheduler: " + wide::systemMessage(static_cast<DWORD>(result));
  }
  return listing;
}

} // namespace

LogonSourceListing LogonTasks::list() {
  // The service is asked on a thread of its own, which is left behind when it does not answer
  // in time: a call into COM cannot be cut short. A scheduler that hangs would leave one more
  // such thread with every listing, so there is only ever one asking, whoever asks.
  static std::atomic<bool> asking{false};
  if (asking.exchange(true)) {
    LogonSourceListing listing;
    listing.unavailable = "Task Scheduler: the previous request has not been answered yet";
    return listing;
  }
  auto answer = std::make_shared<std::promise<LogonSourceListing>>();
  auto future = answer->get_future();
  try {
    std::thread([answer] {
      LogonSourceListing listing = askTaskScheduler();
      // Cleared before the answer is given, so that the next listing after this one may ask.
      asking = false;
      answer->set_value(std::move(listing));
    }).detach();
  } catch (...) {
    asking = false;
    throw;
  }
  if (future.wait_for(timeLimit) != std::future_status::ready) {
    LogonSourceListing listing;
    listing.unavailable =
        "Task Scheduler: no answer within " + std::to_string(timeLimit.count()) + " ms";
    return listing;
  }
  return future.get();
}

} // namespace lw
