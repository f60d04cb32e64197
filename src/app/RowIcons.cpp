#include "RowIcons.h"

#include "editing/ApplicationIcon.h"

#include <QFileIconProvider>
#include <QFileInfo>

namespace lw {
namespace {

std::string fileNameOf(const std::string &path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

RowIcons::RowIcons(Applications *offered) : applications(offered) {}

std::string RowIcons::programOf(const std::string &command) {
  const auto start = command.find_first_not_of(" \t");
  if (start == std::string::npos)
    return {};
  if (command[start] == '"') {
    const auto close = command.find('"', start + 1);
    return command.substr(start + 1, close == std::string::npos ? close : close - start - 1);
  }
  const auto end = command.find_first_of(" \t", start);
  return command.substr(start, end == std::string::npos ? end : end - start);
}

QIcon RowIcons::named(const std::string &icon) {
  const auto found = known.find(icon);
  if (found != known.end())
    return found->second;
  return known.emplace(icon, applicationIcon(icon)).first->second;
}

const std::map<std::string, std::string> &RowIcons::applicationIcons() {
  if (!byProgram) {
    byProgram.emplace();
    if (applications)
      for (const auto &application : applications->list()) {
        const std::string program = programOf(application.command);
        if (program.empty() || application.icon.empty())
          continue;
        byProgram->emplace(program, application.icon);
        byProgram->emplace(fileNameOf(program), application.icon);
      }
  }
  return *byProgram;
}

QIcon RowIcons::iconOf(const StartupEntry &entry) {
  if (!entry.icon.empty())
    if (QIcon own = named(entry.icon); !own.isNull())
      return own;
  const std::string program = programOf(entry.command);
  if (!program.empty()) {
    const auto &icons = applicationIcons();
    auto found = icons.find(program);
    if (found == icons.end())
      found = icons.find(fileNameOf(program));
    if (found != icons.end())
      if (QIcon matched = named(found->second); !matched.isNull())
        return matched;
    // A program's own file: on Windows the icon it carries; elsewhere its type's.
    if (const QFileInfo file(QString::fromUtf8(program)); file.isAbsolute() && file.isFile()) {
      static QFileIconProvider provider;
      if (QIcon own = provider.icon(file); !own.isNull())
        return own;
    }
  }
  return neutralIcon();
}

} // namespace lw
