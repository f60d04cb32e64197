#include "StartupFolders.h"

#include "ComObjects.h"
#include "StartupApproved.h"
#include "WindowsShell.h"
#include "support/WideText.h"

#include <windows.h>

#include <filesystem>

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace lw {
namespace {

std::optional<std::string> knownFolder(REFKNOWNFOLDERID id) {
  wchar_t *path = nullptr;
  std::optional<std::string> result;
  if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)))
    result = wide::toUtf8(path);
  CoTaskMemFree(path);
  return result;
}

bool endsWithNoCase(const std::wstring &name, const wchar_t *end) {
  const std::size_t length = wcslen(end);
  return name.size() >= length &&
         CompareStringOrdinal(name.c_str() + name.size() - length, static_cast<int>(length), end,
                              static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

bool isFile(const std::wstring &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

std::string shortcutCommand(const ShortcutTarget &target) {
  std::string command = target.path.find_first_of(" \t") == std::string::npos
                            ? target.path
                            : "\"" + target.path + "\"";
  if (!target.arguments.empty())
    command += " " + target.arguments;
  return command;
}

ShortcutTarget readShortcut(const std::string &file) {
  ComScope com;
  ShortcutTarget target;
  ComPointer<IShellLinkW> link;
  ComPointer<IPersistFile> persisted;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    link.outVoid());
  if (SUCCEEDED(result))
    result = link->QueryInterface(IID_IPersistFile, persisted.outVoid());
  if (SUCCEEDED(result))
    result = persisted->Load(wide::fromUtf8(file).c_str(), STGM_READ);
  if (FAILED(result)) {
    target.failure = wide::systemMessage(static_cast<DWORD>(result));
    return target;
  }
  // Not resolved: resolving may search the disk for a moved target and rewrite the shortcut.
  wchar_t path[MAX_PATH] = {};
  if (link->GetPath(path, MAX_PATH, nullptr, 0) == S_OK)
    target.path = wide::toUtf8(path);
  std::wstring arguments(INFOTIPSIZE, L'\0');
  if (SUCCEEDED(link->GetArguments(arguments.data(), INFOTIPSIZE)))
    target.arguments = wide::toUtf8(arguments.c_str());
  return target;
}

std::vector<StartupFolders::Folder> StartupFolders::nativeFolders() {
  ComScope com;
  std::vector<Folder> result;
  if (auto user = knownFolder(FOLDERID_Startup))
    result.push_back({std::move(*user), RegistryRoot::CurrentUser, false});
  if (auto common = knownFolder(FOLDERID_CommonStartup))
    result.push_back({std::move(*common), RegistryRoot::LocalMachine, true});
  return result;
}

const std::vector<StartupFolders::Folder> &StartupFolders::where() {
  if (!folders)
    folders = nativeFolders();
  return *folders;
}

LogonSourceListing StartupFolders::list() {
  LogonSourceListing listing;
  for (const auto &folder : where()) {
    const std::wstring base = wide::fromUtf8(folder.path) + L"\\";
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((base + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
      continue; // an absent folder holds nothing to start
    do {
      const std::wstring name = found.cFileName;
      // The folder's own desktop.ini only gives it its shown name; Explorer opens nothing else
      // but files.
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
          CompareStringOrdinal(name.c_str(), -1, L"desktop.ini", -1, TRUE) == CSTR_EQUAL)
        continue;
      LogonItem item;
      item.source = &description;
      item.name = wide::toUtf8(name);
      item.file = wide::toUtf8(base + name);
      item.command = item.file;
      item.reason = &startupShortcut;
      item.switchBy = LogonSwitch::Approved;
      item.canStart = true;
      item.allUsers = folder.allUsers;
      if (endsWithNoCase(name, L".lnk")) {
        const auto target = readShortcut(item.file);
        if (!target.failure.empty()) {
          item.verdict = StartVerdict::Unreadable;
          item.detail = target.failure;
        } else if (!target.path.empty()) {
          item.command = shortcutCommand(target);
          // A shortcut may open a folder as well as a program or a document.
          if (GetFileAttributesW(wide::fromUtf8(target.path).c_str()) == INVALID_FILE_ATTRIBUTES) {
            item.verdict = StartVerdict::ProgramMissing;
            item.detail = target.path;
          }
        }
      }
      const auto state = startupApproved::read(folder.root, approved, item.name);
      if (state && startupApproved::isSwitchedOff(*state))
        item.verdict = StartVerdict::Disabled;
      listing.items.push_back(std::move(item));
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  return listing;
}

const StartupFolders::Folder *StartupFolders::folderOf(const LogonItem &item) {
  if (item.source != &description)
    return nullptr;
  for (const auto &folder : where())
    if (folder.allUsers == item.allUsers)
      return isFile(wide::fromUtf8(folder.path + "\\" + item.name)) ? &folder : nullptr;
  return nullptr;
}

std::string StartupFolders::fileToOpen(const LogonItem &item) const {
  if (item.file.empty())
    return item.file;
  return std::filesystem::path(item.file).parent_path().string();
}

bool StartupFolders::setEnabled(const LogonItem &item, bool enabled) {
  const Folder *folder = folderOf(item);
  return folder && startupApproved::setSwitchedOn(folder->root, approved, item.name, enabled);
}

bool StartupFolders::start(const LogonItem &item) {
  const Folder *folder = folderOf(item);
  return folder && WindowsShell().open(folder->path + "\\" + item.name);
}

LogonWatch StartupFolders::watchPlaces() {
  LogonWatch watch{{}, {}, false};
  for (const auto &folder : where())
    watch.folders.push_back(folder.path);
  return watch;
}

} // namespace lw
