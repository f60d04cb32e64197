// The instance guard on Windows, without Qt Network: a per-user named mutex decides, and a
// registered window message, posted to a hidden message-only window of the running instance,
// carries the request to show. The running instance publishes that window's handle (and its
// process id, so that the later start can let it take the foreground) in per-user named shared
// memory, from its event loop: a handle found there means the start-up is over.
#include "SingleInstance.h"

#include <QThread>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <string>

#include <windows.h>

namespace lw {

namespace {

// The running instance may still be busy with its start-up, which waits 5.5 s after a logon;
// a second start waits that long for it before giving up.
constexpr std::chrono::milliseconds answerTime{20000};

// What the running instance publishes; zero until its event loop runs.
struct Published {
  volatile LONG64 window;
  volatile LONG64 process;
};

// "Local\" keeps the names in this logon session; the user name keeps apart the users of one
// session (a program started as another user).
std::wstring kernelObjectName(const wchar_t *what) {
  wchar_t user[257] = L"";
  DWORD size = 257;
  if (!GetUserNameW(user, &size))
    user[0] = L'\0';
  return std::wstring(L"Local\\Kestrumsoft Launchwright ") + what + L' ' + user;
}

UINT showMessage() {
  static const UINT message = RegisterWindowMessageW(L"Kestrumsoft Launchwright show");
  return message;
}

// The hidden window's procedure. Qt's event loop dispatches the messages of every window of its
// thread, and a native modal loop (a file dialog) does too, so the request is seen in both.
LRESULT CALLBACK receiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == showMessage() && message != 0) {
    if (auto *instance =
            reinterpret_cast<SingleInstance *>(GetWindowLongPtrW(window, GWLP_USERDATA)))
      // Not from inside the native message handling: the window is shown from the event loop.
      QMetaObject::invokeMethod(instance, &SingleInstance::showRequested, Qt::QueuedConnection);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A message-only window: never shown, not among the desktop's windows, so that the request does
// not depend on which Qt windows are open, in the tray, or backed by a real platform window.
HWND createReceiver(SingleInstance &instance) {
  static const wchar_t *className = L"Kestrumsoft Launchwright instance";
  const HINSTANCE module = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = receiverProc;
  windowClass.hInstance = module;
  windowClass.lpszClassName = className;
  if (RegisterClassW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    return nullptr;
  HWND window = CreateWindowExW(0, className, L"Kestrumsoft Launchwright", 0, 0, 0, 0, 0,
                                HWND_MESSAGE, nullptr, module, nullptr);
  if (window != nullptr)
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&instance));
  return window;
}

} // namespace

struct SingleInstance::State {
  HANDLE mutex = nullptr;
  HANDLE mapping = nullptr;
  Published *published = nullptr;
  HWND receiver = nullptr;
  HWND peerWindow = nullptr;

  ~State() {
    if (receiver != nullptr)
      DestroyWindow(receiver);
    if (published != nullptr)
      UnmapViewOfFile(published);
    if (mapping != nullptr)
      CloseHandle(mapping);
    if (mutex != nullptr)
      CloseHandle(mutex);
  }
};

SingleInstance::SingleInstance() : state(std::make_unique<State>()) {}

SingleInstance::~SingleInstance() = default;

void SingleInstance::release() { state.reset(); }

bool SingleInstance::claim() {
  State &s = *state;
  s.mutex = CreateMutexW(nullptr, FALSE, kernelObjectName(L"instance").c_str());
  if (s.mutex == nullptr) {
    std::fprintf(stderr,
                 "launchwright: cannot create the instance mutex (error %lu); a second "
                 "start will not be noticed.\n",
                 GetLastError());
    return true;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    // Not held on to: a handle left open by a start that only hands over would keep the name
    // taken after the instance has ended.
    CloseHandle(s.mutex);
    s.mutex = nullptr;
    return false;
  }
  s.mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                 sizeof(Published), kernelObjectName(L"window").c_str());
  if (s.mapping != nullptr)
    s.published = static_cast<Published *>(
        MapViewOfFile(s.mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Published)));
  if (s.published == nullptr || showMessage() == 0) {
    std::fprintf(stderr,
                 "launchwright: cannot publish the running window (error %lu); a second "
                 "start will not be answered.\n",
                 GetLastError());
    return true;
  }
  // Left by an instance that ended while a later start still had the memory open.
  InterlockedExchange64(&s.published->window, 0);
  s.receiver = createReceiver(*this);
  if (s.receiver == nullptr) {
    std::fprintf(stderr,
                 "launchwright: cannot create the window that answers a second start "
                 "(error %lu).\n",
                 GetLastError());
    return true;
  }
  const auto handle = static_cast<LONG64>(reinterpret_cast<LONG_PTR>(s.receiver));
  // The handle counts as the answer, so it is published only once the event loop runs.
  QTimer::singleShot(0, this, [this, handle] {
    InterlockedExchange64(&state->published->process, static_cast<LONG64>(GetCurrentProcessId()));
    InterlockedExchange64(&state->published->window, handle);
  });
  return true;
}

bool SingleInstance::reachRunning() {
  const auto deadline = std::chrono::steady_clock::now() + answerTime;
  const std::wstring name = kernelObjectName(L"window");
  while (true) {
    if (HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str())) {
      if (auto *published = static_cast<Published *>(
              MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(Published)))) {
        const auto window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(published->window));
        const auto process = static_cast<DWORD>(published->process);
        UnmapViewOfFile(published);
        if (window != nullptr && IsWindow(window)) {
          // Started by the user, this process may take the foreground; the running one may not
          // unless it is handed that right.
          AllowSetForegroundWindow(process);
          state->peerWindow = window;
          CloseHandle(mapping);
          return true;
        }
      }
      CloseHandle(mapping);
    }
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    // Before the holder's event loop runs, or a holder that just ended.
    QThread::msleep(100);
  }
}

bool SingleInstance::askToShow() {
  return state->peerWindow != nullptr && showMessage() != 0 &&
         PostMessageW(state->peerWindow, showMessage(), 0, 0) != 0;
}

} // namespace lw
