#include "InstallLayout.h"

#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace lw {

namespace {

namespace fs = std::filesystem;

constexpr const char *languageFile = "0013trl.ini";

bool holdsLanguageFile(const fs::path &directory) {
  std::error_code ignored;
  return fs::is_regular_file(directory / languageFile, ignored);
}

std::string userDataHome(const std::function<const char *(const char *)> &lookUp) {
  if (const char *value = lookUp("XDG_DATA_HOME"); value && *value == '/')
    return value;
  std::string home;
  if (const char *value = lookUp("HOME"); value && *value)
    home = value;
  else if (const passwd *account = ::getpwuid(::getuid()))
    home = account->pw_dir;
  return home + "/.local/share";
}

} // namespace

ProgramLayout decideLayout(const std::string &executable,
                           const std::function<const char *(const char *)> &lookUp) {
  const fs::path directory = fs::path(executable).parent_path();
  if (directory.empty())
    return {};
  if (holdsLanguageFile(directory) && ::access(directory.c_str(), W_OK) == 0)
    return {};
  const fs::path prefix = (directory / "..").lexically_normal();
  const fs::path shipped = prefix / "share" / installName;
  if (!holdsLanguageFile(shipped))
    return {};
  return {shipped.string(), (fs::path(userDataHome(lookUp)) / installName).string(),
          (prefix / "libexec" / installName).string()};
}

} // namespace lw
