#include "RegistryKeyWatch.h"

#include "support/WideText.h"

#include <windows.h>

namespace lw {

namespace {

constexpr DWORD changes = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

} // namespace

struct RegistryKeyWatch::Key {
  HKEY root;
  REGSAM view;
  std::string path;
  std::string shownName;
  HKEY opened = nullptr;
  HANDLE event = nullptr;
  bool watched = false;

  ~Key() {
    if (opened)
      RegCloseKey(opened);
    if (event)
      CloseHandle(event);
  }

  // The key itself with everything below it; while it is missing, the nearest key above it
  // that is there, for the names of its subkeys, so that its making is seen.
  void arm() {
    if (opened) {
      RegCloseKey(opened);
      opened = nullptr;
    }
    std::string at = path;
    bool itself = true;
    while (RegOpenKeyExW(root, wide::fromUtf8(at).c_str(), 0, KEY_NOTIFY | view, &opened) !=
           ERROR_SUCCESS) {
      opened = nullptr;
      const auto separator = at.rfind('\\');
      if (separator == std::string::npos)
        break;
      at.resize(separator);
      itself = false;
    }
    watched =
        opened && RegNotifyChangeKeyValue(opened, itself, itself ? changes : REG_NOTIFY_CHANGE_NAME,
                                          event, TRUE) == ERROR_SUCCESS;
  }
};

std::vector<std::string> startupKeyPaths() {
  const std::string base = "Software\\Microsoft\\Windows\\CurrentVersion\\";
  return {base + "Run", base + "RunOnce", base + "Explorer\\StartupApproved"};
}

RegistryKeyWatch::RegistryKeyWatch(std::vector<std::string> keyPaths) {
  const std::pair<HKEY, REGSAM> places[] = {{HKEY_CURRENT_USER, 0},
                                            {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY},
                                            {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY}};
  for (const auto &[root, view] : places)
    for (const auto &path : keyPaths) {
      auto key = std::make_unique<Key>();
      key->root = root;
      key->view = view;
      key->path = path;
      key->shownName = std::string(root == HKEY_CURRENT_USER ? "HKCU\\" : "HKLM\\") + path +
                       (view == KEY_WOW64_32KEY ? " (32-bit)" : "");
      key->event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
      if (key->event)
        key->arm();
      keys.push_back(std::move(key));
    }
}

RegistryKeyWatch::~RegistryKeyWatch() = default;

std::vector<void *> RegistryKeyWatch::handles() const {
  std::vector<void *> events;
  for (const auto &key : keys)
    if (key->event)
      events.push_back(key->event);
  return events;
}

void RegistryKeyWatch::rearm(void *handle) {
  for (const auto &key : keys)
    if (key->event == handle)
      key->arm();
}

std::vector<std::string> RegistryKeyWatch::unwatched() const {
  std::vector<std::string> names;
  for (const auto &key : keys)
    if (!key->watched)
      names.push_back(key->shownName);
  return names;
}

} // namespace lw
