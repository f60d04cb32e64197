#include "LogonTasks.h"

#include "WideText.h"

#include <future>
#include <memory>
#include <string>
#include <thread>
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <taskschd.h>

namespace lw {
namespace {

template <class Interface> class ComPointer {
public:
  ComPointer() = default;
  ComPointer(const ComPointer &) = delete;
  ComPointer &operator=(const ComPointer &) = delete;
  ~ComPointer() {
    if (pointer)
      pointer->Release();
  }
  Interface *operator->() const { return pointer; }
  explicit operator bool() const { return pointer != nullptr; }
  Interface **out() { return &pointer; }
  void **outVoid() { return reinterpret_cast<void **>(&pointer); }

private:
  Interface *pointer = nullptr;
};

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

void addFolder(ITaskFolder &folder, LogonSourceListing &listing, int depth) {
  ComPointer<IRegisteredTaskCollection> tasks;
  LONG count = 0;
  if (SUCCEEDED(folder.GetTasks(TASK_ENUM_HIDDEN, tasks.out())) &&
      SUCCEEDED(tasks->get_Count(&count))) {
    for (LONG number = 1; number <= count; ++number) {
      ComPointer<IRegisteredTask> task;
      if (FAILED(tasks->get_Item(index(number), task.out())))
        continue;
      if (!hasLogonTrigger(*task.operator->()))
        continue;
      LogonItem item;
      item.source = LogonSourceKind::LogonTask;
      Text path;
      task->get_Path(path.out());
      item.name = path.utf8();
      item.command = commandOf(*task.operator->());
      item.reason = LogonReason::LogonTrigger;
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
    return;
  for (LONG number = 1; number <= count; ++number) {
    ComPointer<ITaskFolder> inner;
    if (SUCCEEDED(folders->get_Item(index(number), inner.out())))
      addFolder(*inner.operator->(), listing, depth + 1);
  }
}

LogonSourceListing askTaskScheduler() {
  LogonSourceListing listing;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
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
    if (SUCCEEDED(result)) {
      addFolder(*root.operator->(), listing, 0);
    } else {
      wchar_t *text = nullptr;
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                         FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t *>(&text), 0,
                     nullptr);
      std::string reason = text ? wide::toUtf8(text) : "error " + std::to_string(result);
      LocalFree(text);
      while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
        reason.pop_back();
      listing.unavailable = "Task Scheduler: " + reason;
    }
  }
  if (SUCCEEDED(com))
    CoUninitialize();
  return listing;
}

} // namespace

LogonSourceListing LogonTasks::list() {
  // The service is asked on a thread of its own, which is left behind when it does not answer
  // in time: a call into COM cannot be cut short.
  auto answer = std::make_shared<std::promise<LogonSourceListing>>();
  auto future = answer->get_future();
  std::thread([answer] { answer->set_value(askTaskScheduler()); }).detach();
  if (future.wait_for(timeLimit) != std::future_status::ready) {
    LogonSourceListing listing;
    listing.unavailable =
        "Task Scheduler: no answer within " + std::to_string(timeLimit.count()) + " ms";
    return listing;
  }
  return future.get();
}

} // namespace lw
