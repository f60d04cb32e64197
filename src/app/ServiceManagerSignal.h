#pragma once
// The user's service manager telling that its unit files changed (enable, disable, link, mask)
// and that it has read them again, on top of the kernel's word on the unit folders: what the
// manager pulls in at logon follows the files only after its reload.

#include <QObject>

#include <functional>

namespace lw {

class ServiceManagerSignal : public QObject {
  Q_OBJECT

public:
  // `changed` runs on this thread for each such signal; where there is no such manager (or no
  // D-Bus), never.
  explicit ServiceManagerSignal(std::function<void()> changed, QObject *parent = nullptr);

public slots:
  void unitFilesChanged();
  // The manager reads its units again (true) or has read them (false): only then do its
  // answers follow a change of the files, such as the links systemctl enable made.
  void reloading(bool active);

private:
  std::function<void()> onChange;
};

} // namespace lw
