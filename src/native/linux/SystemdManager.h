#pragma once
// A connection to the user's service manager over its D-Bus API, with the few questions and
// orders the systemd logon source needs. Every call waits at most a few seconds, and none goes
// past the connection's deadline: once one call has had no answer, the manager counts as one
// that is not there and every later call fails at once.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sd_bus;

namespace lw {

class SystemdManager {
public:
  using Clock = std::chrono::steady_clock;
  // Connects as systemctl --user does: to the manager's private socket in XDG_RUNTIME_DIR, else
  // through the session bus. Nothing when neither answers; `why` then says why, in the words of
  // the system. Nothing on the connection, connecting included, waits past `deadline`.
  static std::unique_ptr<SystemdManager>
  connect(std::string &why, Clock::time_point deadline = Clock::time_point::max());
  ~SystemdManager();
  SystemdManager(const SystemdManager &) = delete;
  SystemdManager &operator=(const SystemdManager &) = delete;

  // The folders the manager loads units from, in its order of precedence; nothing when it does
  // not answer.
  std::optional<std::vector<std::string>> unitPath(std::string &why);
  // The state is-enabled prints for one unit; nothing when the manager cannot tell.
  std::optional<std::string> unitFileState(const std::string &name);

  // The unit-file orders of systemctl --user enable and unmask; `runtime` acts on the links
  // under XDG_RUNTIME_DIR instead. True when the manager carried the order out. Switching off
  // takes links back by hand (see SystemdSwitch.h), so that they can be put back exactly.
  bool enable(const std::string &name, bool runtime);
  bool unmask(const std::string &name, bool runtime);
  // What systemctl does after changing unit files, so that the manager's view follows them.
  bool reload();
  bool start(const std::string &name);

  // Questions asked in bulk: every call of one is sent before the first answer is read, so that
  // a thousand units cost one wait rather than a thousand. Each answer is what the manager said
  // for that unit, empty where it gave an error; a manager that does not answer in time leaves
  // silence() set, and the answers it gave so far.

  // The units each of these wants or requires, by a link in a .wants or .requires folder, a
  // Wants=/Requires= line or a drop-in alike.
  std::vector<std::vector<std::string>> dependencies(const std::vector<std::string> &units);

  struct Condition {
    std::string type;     // "ConditionPathExists", "AssertPathExists", ...
    bool trigger = false; // a '|' condition: one of them holding is enough
    bool negate = false;
    std::string parameter;
    int result = 0; // at the unit's last start: > 0 held, < 0 failed, 0 not checked
  };
  struct UnitDetails {
    std::string fragment;
    std::vector<Condition> conditions; // Condition*= and Assert*= together
    std::vector<std::string> argv;     // a service's first ExecStart
    std::string program;
    std::vector<std::string> triggers; // what a socket, timer or path unit starts
    std::uint64_t nextElapse = 0;      // a timer's next elapse, µs since the epoch; 0: none
    std::string loadState;             // where asked
  };
  // What to ask beside a service's command and what a socket, timer or path unit starts: the
  // unit file, where the folders do not tell it, and the conditions, where any are written.
  // A unit outside the logon's closure also has its load state asked with the rest: the manager
  // loads it for the question and may unload it again before a later one.
  enum Ask : unsigned { AskFragment = 1, AskConditions = 2, AskLoadState = 4 };
  // For each unit, with `ask` of the same length (empty: ask everything).
  std::vector<UnitDetails> details(const std::vector<std::string> &units,
                                   const std::vector<unsigned> &ask = {});

  // Every unit the manager has loaded, by name: its load state and active state.
  struct LoadedState {
    std::string load, active;
  };
  std::optional<std::map<std::string, LoadedState>> loadedUnits(std::string &why);
  // The states is-enabled prints for these units.
  std::vector<std::optional<std::string>> unitFileStates(const std::vector<std::string> &units);
  // The manager's environment, as ConditionEnvironment= sees it.
  std::vector<std::string> environment();

  // What the manager accounts for a unit: its figures where it keeps them (UINT64_MAX where
  // not: no cgroup accounting), its main process now, and when it last started and stopped,
  // µs since 1970 (0: never). A unit the manager does not know has a load state other than
  // "loaded".
  struct UnitAccount {
    std::string loadState;
    std::uint64_t cpuNsec = UINT64_MAX;
    std::uint64_t ioReadBytes = UINT64_MAX, ioWriteBytes = UINT64_MAX;
    std::uint32_t mainPid = 0;
    std::uint64_t activeEnter = 0, inactiveExit = 0, execMainStart = 0, execMainExit = 0;
  };
  std::vector<UnitAccount> accounts(const std::vector<std::string> &units);
  // When the manager itself started, µs since 1970; 0 when it does not say.
  std::uint64_t startedAt();

  // Why the manager stopped answering: a call had no answer in time, the connection was lost, or
  // the deadline had passed. Empty while it answers.
  const std::optional<std::string> &silence() const { return noAnswer; }

private:
  SystemdManager(sd_bus *connection, Clock::time_point until) : bus(connection), deadline(until) {}
  bool handshake();
  bool mayCall();
  int heard(int result);
  struct Call;
  void askAll(std::vector<Call> &calls);
  bool changeFiles(const char *method, const std::string &name, bool runtime, bool takesForce);
  sd_bus *bus;
  Clock::time_point deadline;
  std::optional<std::string> noAnswer;
};

} // namespace lw
