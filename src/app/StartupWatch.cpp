#include "StartupWatch.h"

#include "ServiceManagerSignal.h"

#include "storage/EntryFormat.h"
#include "support/FileError.h"
#include "support/Toolbox.h"

#include <QMetaObject>
#ifdef _WIN32
#include <QWinEventNotifier>
#endif

#include <utility>

namespace lw {

namespace {

constexpr const char *entriesGroup = "entries";
constexpr const char *unitsGroup = "systemd-unit";
constexpr int pollMs = 10 * 60 * 1000;
constexpr int rescanMs = 60 * 1000;
// A change is one burst of events (a temporary renamed over a file, a lock beside it).
constexpr int settleMs = 50;

GuardScope scopeOf(const std::string &group) {
  return group == entriesGroup ? GuardScope::listEntries() : GuardScope::logonKind(group);
}

void merge(GuardScope &into, const GuardScope &scope) {
  into.entries = into.entries || scope.entries;
  into.allLogon = into.allLogon || scope.allLogon;
  for (const auto &word : scope.logonWords)
    if (std::find(into.logonWords.begin(), into.logonWords.end(), word) == into.logonWords.end())
      into.logonWords.push_back(word);
}

// Where each group of the scope shows its changes, as the platform says now.
std::map<std::string, LogonWatch> placesOf(const Platform &platform, const GuardScope &scope) {
  std::map<std::string, LogonWatch> places;
  if (scope.entries) {
    LogonWatch &entries = places[entriesGroup];
    entries.poll = false;
    entries.folders = platform.startup.entryFolders();
    entries.files = platform.registry.storeFiles();
    entries.files.push_back(Toolbox(platform).userFile(customEntriesFileName));
  }
  for (auto *source : platform.logonSources) {
    const std::string word = source->kind()->word;
    if (scope.allLogon ||
        std::find(scope.logonWords.begin(), scope.logonWords.end(), word) != scope.logonWords.end())
      places[word] = source->watchPlaces();
  }
  return places;
}

} // namespace

StartupWatch::StartupWatch(PlatformMaker maker, const LanguageTable &table, std::string starterFile,
                           QObject *parent)
    : QObject(parent), makePlatform(std::move(maker)), texts(table),
      starter(std::move(starterFile)) {
  poll.setInterval(pollMs);
  connect(&poll, &QTimer::timeout, this, [this] {
    for (const auto &group : polled)
      ask({scopeOf(group), false});
  });
  rescan.setInterval(rescanMs);
  connect(&rescan, &QTimer::timeout, this, [this] {
    for (const auto &group : blind)
      ask({scopeOf(group), false});
  });
}

StartupWatch::~StartupWatch() {
  {
    std::lock_guard<std::mutex> held(lock);
    stopping = true;
  }
  wake.notify_all();
  if (worker.joinable())
    worker.join();
}

void StartupWatch::start() {
  if (!worker.joinable())
    worker = std::thread([this] { work(); });
  managerSignal = std::make_unique<ServiceManagerSignal>(
      [this] {
        ask({GuardScope::logonKind(unitsGroup), false});
      },
      this);
  watchRegistry();
  ask({GuardScope::everything(), true});
}

void StartupWatch::ask(const Request &request) {
  {
    std::lock_guard<std::mutex> held(lock);
    // Looks not begun yet become one: a burst of changes costs one look.
    if (!queue.empty() && queue.back().atStart == request.atStart)
      merge(queue.back().scope, request.scope);
    else
      queue.push_back(request);
  }
  wake.notify_one();
}

void StartupWatch::work() {
  // Made on this thread and used by it alone.
  std::unique_ptr<OwnPlatform> own = makePlatform();
  Toolbox toolbox(own->platform());
  std::unique_ptr<StartupGuard> guard;
  for (;;) {
    Request request;
    {
      std::unique_lock<std::mutex> held(lock);
      // While the window makes a change of its own, its changes are not another program's.
      wake.wait(held, [this] { return stopping || (!queue.empty() && !paused); });
      if (stopping)
        return;
      request = std::move(queue.front());
      queue.erase(queue.begin());
    }
    if (request.atStart) {
      // Watched before the first look, so that no change during it goes unseen.
      QMetaObject::invokeMethod(
          this, [this, places = placesOf(own->platform(), request.scope)] { watchPlaces(places); },
          Qt::QueuedConnection);
    }
    std::vector<ChangeRecord> records;
    std::string failure;
    try {
      if (!guard)
        guard = std::make_unique<StartupGuard>(own->platform(), toolbox, texts, starter);
      const auto hold = guard->hold();
      records = guard->look(*hold, request.scope, changeBy::other, request.atStart);
    } catch (const FileError &error) {
      failure = error.what();
    } catch (const std::exception &error) {
      failure = error.what();
    }
    auto places = placesOf(own->platform(), request.scope);
    QMetaObject::invokeMethod(
        this,
        [this, records = std::move(records), atStart = request.atStart, places = std::move(places),
         failure = std::move(failure)]() mutable {
          answer(std::move(records), atStart, std::move(places), std::move(failure));
        },
        Qt::QueuedConnection);
  }
}

void StartupWatch::answer(std::vector<ChangeRecord> records, bool atStart,
                          std::map<std::string, LogonWatch> places, std::string failure) {
  watchPlaces(places);
  if (!failure.empty() && !toldIncomplete) {
    toldIncomplete = true;
    emit watchIncomplete(QString::fromStdString(failure));
  }
  if (records.empty())
    return;
  emit journalChanged();
  emit changesFound(records, atStart);
}

void StartupWatch::watchPlaces(const std::map<std::string, LogonWatch> &places) {
  for (const auto &[group, place] : places) {
    if (place.poll) {
      polled.insert(group);
      watches.erase(group);
      continue;
    }
    polled.erase(group);
    auto &watch = watches[group];
    if (!watch) {
      watch = std::make_unique<FileWatch>(this, settleMs);
      connect(watch.get(), &FileWatch::changed, this, [this, name = group] { watched(name); });
    }
    watch->watch(place.files, place.folders);
    if (watch->incomplete()) {
      blind.insert(group);
      if (!toldIncomplete) {
        toldIncomplete = true;
        emit watchIncomplete(QString::fromStdString(group));
      }
    } else {
      blind.erase(group);
    }
  }
  if (polled.empty())
    poll.stop();
  else if (!poll.isActive())
    poll.start();
  if (blind.empty())
    rescan.stop();
  else if (!rescan.isActive())
    rescan.start();
}

void StartupWatch::watched(const std::string &group) {
  watches.at(group)->take();
  ask({scopeOf(group), false});
}

void StartupWatch::ownChange(const GuardScope &scope, const std::function<void()> &change) {
  {
    std::lock_guard<std::mutex> held(lock);
    ++paused;
  }
  struct Resume {
    StartupWatch &watch;
    ~Resume() {
      {
        std::lock_guard<std::mutex> held(watch.lock);
        --watch.paused;
      }
      watch.wake.notify_one();
    }
  } resume{*this};
  std::unique_ptr<StartupGuard::Hold> hold;
  std::optional<FileError> problem;
  try {
    makeOwn();
    hold = ownGuard->hold();
    if (auto others = ownGuard->look(*hold, scope, changeBy::other); !others.empty()) {
      emit journalChanged();
      emit changesFound(others, false);
    }
    hold.reset(); // a command's dialog may stay open for long; nobody waits on it
  } catch (const FileError &error) {
    problem = error;
  }
  auto afterwards = [&] {
    if (!ownGuard)
      return;
    try {
      hold = ownGuard->hold();
      if (!ownGuard->look(*hold, scope, changeBy::window).empty())
        emit journalChanged();
    } catch (const FileError &error) {
      problem = error;
    }
  };
  try {
    change();
  } catch (...) {
    afterwards();
    throw;
  }
  afterwards();
  if (problem)
    throw *problem;
}

void StartupWatch::watchRegistry() {
  makeOwn();
  registryWatch = ownPlatform->registryWatch();
  if (!registryWatch)
    return;
#ifdef _WIN32
  // A Run key holds the list's own entries, RunOnce its source's, StartupApproved the switches
  // of both and of the Startup folders.
  GuardScope scope = GuardScope::listEntries();
  scope.logonWords = {"run-once", "startup-folder"};
  // Made and rearmed on the window's thread, which outlives the watch: the system drops a key's
  // notification when the thread that asked for it ends.
  for (void *handle : registryWatch->handles()) {
    auto *notifier = new QWinEventNotifier(handle, this);
    connect(notifier, &QWinEventNotifier::activated, this, [this, handle, scope] {
      registryWatch->rearm(handle);
      ask({scope, false});
    });
  }
#endif
  if (const auto missed = registryWatch->unwatched(); !missed.empty()) {
    QString names;
    for (const auto &name : missed)
      names += (names.isEmpty() ? "" : ", ") + QString::fromStdString(name);
    blind.insert(entriesGroup);
    rescan.start();
    if (!std::exchange(toldIncomplete, true))
      emit watchIncomplete(names);
  }
}

void StartupWatch::makeOwn() {
  if (ownGuard)
    return;
  ownPlatform = makePlatform();
  ownToolbox = std::make_unique<Toolbox>(ownPlatform->platform());
  ownGuard = std::make_unique<StartupGuard>(ownPlatform->platform(), *ownToolbox, texts, starter);
}

void StartupWatch::noteAction(std::uint64_t number, const char *action) {
  makeOwn();
  const auto hold = ownGuard->hold();
  ownGuard->journal().noteAction(number, action);
  emit journalChanged();
}

const ChangeJournal &StartupWatch::journal() {
  makeOwn();
  return ownGuard->journal();
}

} // namespace lw
