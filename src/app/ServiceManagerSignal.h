#pragma once
// The user's service manager telling that its unit files changed (enable, disable, link, mask,
// a reload), on top of the kernel's word on the unit folders: the manager also knows of the
// folders a generator or a reload brings.

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

private:
  std::function<void()> onChange;
};

} // namespace lw
