#include "StartMenuApplications.h"

#include "ComObjects.h"
#include "StartupFolders.h"
#include "support/WideText.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>

#include <knownfolders.h>
#include <shlobj.h>

namespace lw {
namespace {

std::optional<std::wstring> knownFolder(REFKNOWNFOLDERID id) {
  wchar_t *path = nullptr;
  std::optional<std::wstring> result;
  if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)))
    result = path;
  CoTaskMemFree(path);
  return result;
}

bool isShortcut(const std::filesystem::path &file) {
  const std::wstring suffix = file.extension().wstring();
  return CompareStringOrdinal(suffix.c_str(), -1, L".lnk", -1, TRUE) == CSTR_EQUAL;
}

// A shortcut to something that is no file (a Control Panel item, a store application) starts
// nothing a Run value could.
std::optional<InstalledApplication> describe(const std::filesystem::path &file) {
  const std::string path = wide::toUtf8(file.wstring());
  const auto target = readShortcut(path);
  if (!target.failure.empty() || target.path.empty())
    return std::nullopt;
  InstalledApplication application;
  application.id = path;
  application.name = wide::toUtf8(file.stem().wstring());
  application.command = shortcutCommand(target);
  application.icon = path;
  return application;
}

} // namespace

std::vector<InstalledApplication> StartMenuApplications::list() {
  namespace fs = std::filesystem;
  ComScope com;
  std::vector<InstalledApplication> found;
  for (const auto &id : {FOLDERID_Programs, FOLDERID_CommonPrograms}) {
    const auto folder = knownFolder(id);
    if (!folder)
      continue;
    std::error_code error;
    fs::recursive_directory_iterator walk(*folder, fs::directory_options::skip_permission_denied,
                                          error);
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error))
      if (walk->is_regular_file(error) && isShortcut(walk->path()))
        if (auto application = describe(walk->path()))
          found.push_back(std::move(*application));
  }
  std::stable_sort(found.begin(), found.end(), [](const auto &a, const auto &b) {
    return CompareStringOrdinal(wide::fromUtf8(a.name).c_str(), -1, wide::fromUtf8(b.name).c_str(),
                                -1, TRUE) == CSTR_LESS_THAN;
  });
  return found;
}

std::optional<InstalledApplication> StartMenuApplications::find(std::string_view id) {
  const std::filesystem::path file(wide::fromUtf8(id));
  std::error_code error;
  if (!isShortcut(file) || !std::filesystem::is_regular_file(file, error))
    return std::nullopt;
  ComScope com;
  return describe(file);
}

} // namespace lw
