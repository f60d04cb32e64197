#pragma once
// The window's watch over every source of what starts at logon. The kernel (inotify through
// QFileSystemWatcher), the service manager's signal and, on Windows, the registry say when
// something may have changed; a thread of its own then looks at the sources that may have, and
// the change journal records what did. Sources that tell nobody of their changes (a crontab,
// the Task Scheduler) are looked at every ten minutes. An idle window wakes for none of this.

#include "FileWatch.h"

#include "entries/StartupGuard.h"
#include "platform/Platform.h"
#include "platform/RegistryWatch.h"
#include "support/LanguageTable.h"
#include "support/Toolbox.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace lw {

class ServiceManagerSignal;

// A platform of its own, made of the system's implementations, for one thread: the watch's
// looks never share an object with the window's other work.
class OwnPlatform {
public:
  virtual ~OwnPlatform() = default;
  virtual const Platform &platform() = 0;
  // The registry's keys of what starts at logon, watched; none where there is no registry.
  virtual std::unique_ptr<RegistryWatch> registryWatch() { return nullptr; }
};
using PlatformMaker = std::function<std::unique_ptr<OwnPlatform>()>;

class StartupWatch : public QObject {
  Q_OBJECT

public:
  StartupWatch(PlatformMaker maker, const LanguageTable &texts, std::string starterFile,
               QObject *parent = nullptr);
  ~StartupWatch() override;

  // Looks at every source and records what changed since the program last looked, dated before
  // now; then watches every source.
  void start();
  // Makes one of the window's own changes (`change` throws as the window's commands do) between
  // two looks at the sources of the scope under one hold, so that it is recorded as the
  // window's and nothing another program did before it is. Throws FileError where the journal
  // cannot be kept only when the change itself did not throw.
  void ownChange(const GuardScope &scope, const std::function<void()> &change);
  // Notes what the user chose about a record they were told of.
  void noteAction(std::uint64_t number, const char *action);
  // The journal, to read. Throws FileError when the data folder cannot be made.
  const ChangeJournal &journal();

signals:
  // Changes made by others: seen while watching, or at the start (`atStart`).
  void changesFound(const std::vector<ChangeRecord> &records, bool atStart);
  // Any record or action was written: an open view of the journal reads it again.
  void journalChanged();
  // A place that cannot be watched (the system's limit of watches, a folder that cannot be
  // read); said once, and its sources are then looked at every minute.
  void watchIncomplete(const QString &what);

private:
  struct Request {
    GuardScope scope;
    bool atStart = false;
  };
  void ask(const Request &request);
  void work();
  void answer(std::vector<ChangeRecord> records, bool atStart,
              std::map<std::string, LogonWatch> places, std::string failure);
  void watchPlaces(const std::map<std::string, LogonWatch> &places);
  void watched(const std::string &group);

  PlatformMaker makePlatform;
  const LanguageTable &texts;
  std::string starter;
  // The window's own changes are made on its thread, with a platform of its own for their looks.
  void makeOwn();
  std::unique_ptr<OwnPlatform> ownPlatform;
  std::unique_ptr<Toolbox> ownToolbox;
  std::unique_ptr<StartupGuard> ownGuard;

  // One FileWatch a group of sources ("entries" or a logon kind's word), so that a change reads
  // only the sources it may concern.
  std::map<std::string, std::unique_ptr<FileWatch>> watches;
  std::unique_ptr<ServiceManagerSignal> managerSignal;
  std::unique_ptr<RegistryWatch> registryWatch;
  void watchRegistry();
  QTimer poll;   // the sources no watch covers
  QTimer rescan; // the groups a watch could not fully cover
  std::set<std::string> polled;
  std::set<std::string> blind;
  bool toldIncomplete = false;

  std::thread worker;
  std::mutex lock;
  std::condition_variable wake;
  std::vector<Request> queue;
  bool stopping = false;
  int paused = 0; // changes of the window's own under way
};

} // namespace lw
