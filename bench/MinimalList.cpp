// The yardstick of the start-up benchmark: about the least a Qt program must do to show the
// same rows as the startup manager's list. It reads every autostart file of the user and of
// the machine once (a user file hides a machine file of the same name, the first machine
// folder wins), takes name and command from the customized entries file given as its argument,
// shows the rows in a QTreeWidget and, like the real program under LW_EXIT_AFTER_FIRST_PAINT=1,
// ends right after the list's first paint.

#include <QApplication>
#include <QDialog>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string readFile(const std::string &path) {
  std::string bytes;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return bytes;
  char buffer[16384];
  for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
    bytes.append(buffer, static_cast<std::size_t>(got));
  ::close(fd);
  return bytes;
}

struct Row {
  QString kind, name, command;
};

// The Exec line of the main group; nothing for a hidden entry.
bool execOf(const std::string &bytes, std::string &command) {
  bool inMain = false;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t end = bytes.find('\n', at);
    if (end == std::string::npos)
      end = bytes.size();
    const std::string_view line(bytes.data() + at, end - at);
    if (!line.empty() && line.front() == '[')
      inMain = line.starts_with("[Desktop Entry]");
    else if (inMain && line.starts_with("Exec="))
      command.assign(line.substr(5));
    else if (inMain && line.starts_with("Hidden=true"))
      return false;
    at = end + 1;
  }
  return true;
}

void readFolder(const std::string &folder, const QString &kind, std::set<std::string> &seen,
                std::vector<Row> &rows) {
  DIR *dir = ::opendir(folder.c_str());
  if (!dir)
    return;
  while (const dirent *item = ::readdir(dir)) {
    const std::string file = item->d_name;
    if (!file.ends_with(".desktop") || !seen.insert(file).second)
      continue;
    std::string command;
    if (execOf(readFile(folder + "/" + file), command))
      rows.push_back({kind, QString::fromUtf8(file.data(), static_cast<int>(file.size() - 8)),
                      QString::fromUtf8(command)});
  }
  ::closedir(dir);
}

void readCustomized(const std::string &path, std::vector<Row> &rows) {
  const std::string bytes = readFile(path);
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t end = bytes.find('\n', at);
    if (end == std::string::npos)
      end = bytes.size();
    std::size_t cut = end;
    if (cut > at && bytes[cut - 1] == '\r')
      --cut;
    lines.emplace_back(bytes.data() + at, cut - at);
    at = end + 1;
  }
  for (std::size_t i = 3; i + 1 < lines.size(); i += 4)
    rows.push_back({QStringLiteral("Customized"),
                    QString::fromUtf8(lines[i].data(), static_cast<int>(lines[i].size())),
                    QString::fromUtf8(lines[i + 1].data(), static_cast<int>(lines[i + 1].size()))});
}

std::string environment(const char *name, const std::string &otherwise) {
  const char *value = std::getenv(name);
  return value && *value ? value : otherwise;
}

class ExitAfterPaint : public QObject {
public:
  using QObject::QObject;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() == QEvent::Paint)
      QMetaObject::invokeMethod(
          QCoreApplication::instance(), [] { std::_Exit(0); }, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
  }
};

} // namespace

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  const std::string home = environment("HOME", "/");
  const std::string configHome = environment("XDG_CONFIG_HOME", home + "/.config");
  const std::string configDirs = environment("XDG_CONFIG_DIRS", "/etc/xdg");

  std::vector<Row> rows;
  if (argc > 1)
    readCustomized(argv[1], rows);
  std::set<std::string> seen;
  readFolder(configHome + "/autostart", QStringLiteral("Current User"), seen, rows);
  for (std::size_t at = 0; at <= configDirs.size();) {
    std::size_t end = configDirs.find(':', at);
    if (end == std::string::npos)
      end = configDirs.size();
    readFolder(configDirs.substr(at, end - at) + "/autostart", QStringLiteral("All Users"), seen,
               rows);
    at = end + 1;
  }

  QDialog window;
  auto *list = new QTreeWidget(&window);
  list->setHeaderLabels(
      {QStringLiteral("Name"), QStringLiteral("Kind"), QStringLiteral("Command")});
  list->setRootIsDecorated(false);
  QList<QTreeWidgetItem *> items;
  items.reserve(static_cast<qsizetype>(rows.size()));
  for (const Row &row : rows)
    items.append(new QTreeWidgetItem(QStringList{row.name, row.kind, row.command}));
  list->addTopLevelItems(items);
  (new QVBoxLayout(&window))->addWidget(list);
  window.resize(600, 400);
  if (qgetenv("LW_EXIT_AFTER_FIRST_PAINT") == "1")
    list->viewport()->installEventFilter(new ExitAfterPaint(list));
  window.show();
  return app.exec();
}
