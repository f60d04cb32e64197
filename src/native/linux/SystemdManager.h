#pragma once
// A connection to the user's service manager over its D-Bus API, with the few questions and
// orders the systemd logon source needs. Every call waits at most a few seconds, and none goes
// past the connection's deadline: once one call has had no answer, the manager counts as one
// that is not there and every later call fails at once.

#include <chrono>
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

  struct UnitFile {
    std::string path;  // where the manager found it; for a masked unit, the link to /dev/null
    std::string state; // "enabled", "disabled", "static", "masked", ...
  };
  // Every unit file the manager knows, by unit name; nothing when it does not answer.
  std::optional<std::map<std::string, UnitFile>> unitFiles(std::string &why);
  // The folders the manager loads units from, in its order of precedence; nothing when it does
  // not answer.
  std::optional<std::vector<std::string>> unitPath(std::string &why);
  // The state is-enabled prints for one unit; nothing when the manager cannot tell.
  std::optional<std::string> unitFileState(const std::string &name);

  struct LoadedUnit {
    std::string loadState;         // "loaded", "masked", "not-found", "bad-setting", ...
    std::string fragment;          // the unit file the manager read, if any
    std::vector<std::string> argv; // the first ExecStart of a service
    std::string program;           // the program that ExecStart runs, as the manager resolved it
  };
  LoadedUnit load(const std::string &name);

  // The unit-file orders of systemctl --user enable, disable, mask and unmask; `runtime` acts on
  // the links under XDG_RUNTIME_DIR instead. True when the manager carried the order out.
  bool enable(const std::string &name, bool runtime);
  bool disable(const std::string &name, bool runtime);
  bool mask(const std::string &name, bool runtime);
  bool unmask(const std::string &name, bool runtime);
  // What systemctl does after changing unit files, so that the manager's view follows them.
  bool reload();
  bool start(const std::string &name);

  // Why the manager stopped answering: a call had no answer in time, the connection was lost, or
  // the deadline had passed. Empty while it answers.
  const std::optional<std::string> &silence() const { return noAnswer; }

private:
  SystemdManager(sd_bus *connection, Clock::time_point until) : bus(connection), deadline(until) {}
  bool handshake();
  bool mayCall();
  int heard(int result);
  bool changeFiles(const char *method, const std::string &name, bool runtime, bool takesForce);
  sd_bus *bus;
  Clock::time_point deadline;
  std::optional<std::string> noAnswer;
};

} // namespace lw
