// The manager's questions that are asked for many units at once: all calls go out before the
// first answer is read, and the answers are read as they come.

#include "SdBus.h"
#include "SystemdManager.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lw {

namespace {

constexpr const char *service = "org.freedesktop.systemd1";
constexpr const char *managerPath = "/org/freedesktop/systemd1";
constexpr const char *managerInterface = "org.freedesktop.systemd1.Manager";
constexpr const char *unitInterface = "org.freedesktop.systemd1.Unit";
constexpr std::uint64_t callTimeoutUsec = 3'000'000;

// A unit's object path: every byte outside [A-Za-z0-9] as _xx, as the manager names them.
std::string objectOf(const std::string &unit) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string path = "/org/freedesktop/systemd1/unit/";
  if (unit.empty())
    return path + '_';
  for (const unsigned char c : unit) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      path += static_cast<char>(c);
    } else {
      path += '_';
      path += digits[c >> 4];
      path += digits[c & 15];
    }
  }
  return path;
}

std::vector<std::string> readStrings(sd_bus_message *message) {
  std::vector<std::string> words;
  char **strv = nullptr;
  if (sdBus().bus_message_read_strv(message, &strv) < 0)
    return words;
  for (char **word = strv; strv && *word; ++word) {
    words.emplace_back(*word);
    std::free(*word);
  }
  std::free(strv);
  return words;
}

void readConditions(sd_bus_message *message, std::vector<SystemdManager::Condition> &into) {
  if (sdBus().bus_message_enter_container(message, 'a', "(sbbsi)") <= 0)
    return;
  const char *type = nullptr, *parameter = nullptr;
  int trigger = 0, negate = 0, result = 0;
  while (sdBus().bus_message_read(message, "(sbbsi)", &type, &trigger, &negate, &parameter,
                                  &result) > 0)
    into.push_back({type, trigger != 0, negate != 0, parameter, result});
}

void readExecStart(sd_bus_message *message, SystemdManager::UnitDetails &unit) {
  const char *program = nullptr;
  if (sdBus().bus_message_enter_container(message, 'a', "(sasbttttuii)") <= 0 ||
      sdBus().bus_message_enter_container(message, 'r', "sasbttttuii") <= 0 ||
      sdBus().bus_message_read(message, "s", &program) < 0)
    return;
  unit.program = program;
  unit.argv = readStrings(message);
}

bool isService(const std::string &unit) { return unit.ends_with(".service"); }
bool isTriggering(const std::string &unit) {
  return unit.ends_with(".socket") || unit.ends_with(".timer") || unit.ends_with(".path");
}

} // namespace

struct SystemdManager::Call {
  std::string path;
  const char *interface;
  const char *member;              // a property's name for Get, or the manager's method
  const char *signature = nullptr; // a property's D-Bus type; null: a method taking `argument`
  std::string argument;
  std::function<void(sd_bus_message *)> read;
  bool answered = false;
};

void SystemdManager::askAll(std::vector<Call> &calls) {
  if (calls.empty() || !mayCall())
    return;
  struct Slot {
    SystemdManager *manager;
    Call *call;
    std::size_t *pending;
  };
  std::size_t pending = 0;
  std::vector<Slot> slots(calls.size());
  const auto handler = [](sd_bus_message *reply, void *data, sd_bus_error *) -> int {
    auto *slot = static_cast<Slot *>(data);
    --*slot->pending;
    const sd_bus_error *error = sdBus().bus_message_get_error(reply);
    if (error) {
      if (sdBus().bus_error_has_names_sentinel(error, SD_BUS_ERROR_NO_REPLY, SD_BUS_ERROR_TIMEOUT,
                                               SD_BUS_ERROR_DISCONNECTED, nullptr))
        slot->manager->heard(-ETIMEDOUT);
      return 0;
    }
    if (slot->call->signature &&
        sdBus().bus_message_enter_container(reply, 'v', slot->call->signature) <= 0)
      return 0;
    slot->call->read(reply);
    slot->call->answered = true;
    return 0;
  };
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
  const std::uint64_t timeout =
      std::min<std::uint64_t>(callTimeoutUsec, static_cast<std::uint64_t>(left.count()));
  for (std::size_t i = 0; i < calls.size(); ++i) {
    Call &call = calls[i];
    sd_bus_message *message = nullptr;
    const bool property = call.signature != nullptr;
    int result = sdBus().bus_message_new_method_call(bus, &message, service, call.path.c_str(),
                                                     property ? "org.freedesktop.DBus.Properties"
                                                              : call.interface,
                                                     property ? "Get" : call.member);
    if (result >= 0)
      result = property ? sdBus().bus_message_append(message, "ss", call.interface, call.member)
                        : sdBus().bus_message_append(message, "s", call.argument.c_str());
    slots[i] = {this, &call, &pending};
    if (result >= 0)
      result = sdBus().bus_call_async(bus, nullptr, message, handler, &slots[i], timeout);
    sdBus().bus_message_unref(message);
    if (result < 0) {
      heard(result);
      break;
    }
    ++pending;
  }
  // The slots must outlive every callback: on a deadline the connection is given up, and with
  // it every call still waiting.
  while (pending > 0 && !noAnswer) {
    const int result = sdBus().bus_process(bus, nullptr);
    if (result > 0)
      continue;
    if (result < 0) {
      heard(result == -ECONNRESET ? result : -ENOTCONN);
      break;
    }
    const auto wait =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (wait.count() <= 0) {
      heard(-ETIMEDOUT);
      break;
    }
    if (const int waited = sdBus().bus_wait(bus, static_cast<std::uint64_t>(wait.count()));
        waited < 0 && waited != -EINTR) {
      heard(-ENOTCONN);
      break;
    }
  }
  if (pending > 0) {
    if (!noAnswer)
      heard(-ETIMEDOUT);
    // Callbacks still registered point at the slots: the connection is closed before they go,
    // and nothing processes it again.
    sdBus().bus_close(bus);
  }
}

std::vector<std::vector<std::string>>
SystemdManager::dependencies(const std::vector<std::string> &units) {
  std::vector<std::vector<std::string>> found(units.size());
  std::vector<Call> calls;
  calls.reserve(units.size() * 2);
  for (std::size_t i = 0; i < units.size(); ++i)
    for (const char *property : {"Wants", "Requires"})
      calls.push_back({objectOf(units[i]),
                       unitInterface,
                       property,
                       "as",
                       {},
                       [&found, i](sd_bus_message *reply) {
                         for (auto &unit : readStrings(reply))
                           found[i].push_back(std::move(unit));
                       }});
  askAll(calls);
  return found;
}

std::vector<SystemdManager::UnitDetails>
SystemdManager::details(const std::vector<std::string> &units, const std::vector<unsigned> &ask) {
  std::vector<UnitDetails> found(units.size());
  std::vector<Call> calls;
  calls.reserve(units.size() * 2);
  for (std::size_t i = 0; i < units.size(); ++i) {
    UnitDetails &unit = found[i];
    const std::string path = objectOf(units[i]);
    const unsigned asked = ask.empty() ? AskFragment | AskConditions : ask[i];
    if (asked & AskFragment)
      calls.push_back(
          {path, unitInterface, "FragmentPath", "s", {}, [&unit](sd_bus_message *reply) {
             const char *text = nullptr;
             if (sdBus().bus_message_read(reply, "s", &text) >= 0 && text)
               unit.fragment = text;
           }});
    if (asked & AskConditions)
      for (const char *property : {"Conditions", "Asserts"})
        calls.push_back(
            {path, unitInterface, property, "a(sbbsi)", {}, [&unit](sd_bus_message *reply) {
               readConditions(reply, unit.conditions);
             }});
    if (asked & AskLoadState)
      calls.push_back({path, unitInterface, "LoadState", "s", {}, [&unit](sd_bus_message *reply) {
                         const char *text = nullptr;
                         if (sdBus().bus_message_read(reply, "s", &text) >= 0 && text)
                           unit.loadState = text;
                       }});
    if (isService(units[i]))
      calls.push_back({path,
                       "org.freedesktop.systemd1.Service",
                       "ExecStart",
                       "a(sasbttttuii)",
                       {},
                       [&unit](sd_bus_message *reply) { readExecStart(reply, unit); }});
    if (isTriggering(units[i]))
      calls.push_back({path, unitInterface, "Triggers", "as", {}, [&unit](sd_bus_message *reply) {
                         unit.triggers = readStrings(reply);
                       }});
    if (units[i].ends_with(".timer"))
      calls.push_back({path,
                       "org.freedesktop.systemd1.Timer",
                       "NextElapseUSecRealtime",
                       "t",
                       {},
                       [&unit](sd_bus_message *reply) {
                         std::uint64_t at = 0;
                         if (sdBus().bus_message_read(reply, "t", &at) >= 0 && at != UINT64_MAX)
                           unit.nextElapse = at;
                       }});
  }
  askAll(calls);
  return found;
}

std::optional<std::map<std::string, SystemdManager::LoadedState>>
SystemdManager::loadedUnits(std::string &why) {
  std::map<std::string, LoadedState> units;
  bool read = false;
  sd_bus_error error{};
  sd_bus_message *reply = nullptr;
  int result = mayCall()
                   ? heard(sdBus().bus_call_method(bus, service, managerPath, managerInterface,
                                                   "ListUnits", &error, &reply, ""))
                   : -ETIMEDOUT;
  if (result >= 0 &&
      (result = sdBus().bus_message_enter_container(reply, 'a', "(ssssssouso)")) >= 0) {
    const char *name = nullptr, *load = nullptr, *active = nullptr;
    while ((result =
                sdBus().bus_message_read(reply, "(ssssssouso)", &name, nullptr, &load, &active,
                                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)) > 0)
      units[name] = {load, active};
    read = result >= 0;
  }
  if (!read)
    why = noAnswer ? *noAnswer : error.message ? error.message : std::strerror(-result);
  sdBus().bus_error_free(&error);
  sdBus().bus_message_unref(reply);
  if (!read)
    return std::nullopt;
  return units;
}

std::vector<std::optional<std::string>>
SystemdManager::unitFileStates(const std::vector<std::string> &units) {
  std::vector<std::optional<std::string>> found(units.size());
  std::vector<Call> calls;
  for (std::size_t i = 0; i < units.size(); ++i)
    calls.push_back({managerPath, managerInterface, "GetUnitFileState", nullptr, units[i],
                     [&found, i](sd_bus_message *reply) {
                       const char *state = nullptr;
                       if (sdBus().bus_message_read(reply, "s", &state) >= 0 && state && *state)
                         found[i] = state;
                     }});
  askAll(calls);
  return found;
}

std::vector<std::string> SystemdManager::environment() {
  std::vector<std::string> found;
  std::vector<Call> calls;
  calls.push_back(
      {managerPath, managerInterface, "Environment", "as", {}, [&found](sd_bus_message *reply) {
         found = readStrings(reply);
       }});
  askAll(calls);
  return found;
}

std::vector<SystemdManager::UnitAccount>
SystemdManager::accounts(const std::vector<std::string> &units) {
  std::vector<UnitAccount> found(units.size());
  std::vector<Call> calls;
  calls.reserve(units.size() * 10);
  const auto number = [](std::uint64_t &into) {
    return [&into](sd_bus_message *reply) { sdBus().bus_message_read(reply, "t", &into); };
  };
  for (std::size_t i = 0; i < units.size(); ++i) {
    UnitAccount &unit = found[i];
    const std::string path = objectOf(units[i]);
    calls.push_back({path, unitInterface, "LoadState", "s", {}, [&unit](sd_bus_message *reply) {
                       const char *text = nullptr;
                       if (sdBus().bus_message_read(reply, "s", &text) >= 0 && text)
                         unit.loadState = text;
                     }});
    calls.push_back(
        {path, unitInterface, "ActiveEnterTimestamp", "t", {}, number(unit.activeEnter)});
    calls.push_back(
        {path, unitInterface, "InactiveExitTimestamp", "t", {}, number(unit.inactiveExit)});
    if (!isService(units[i]))
      continue;
    constexpr const char *serviceInterface = "org.freedesktop.systemd1.Service";
    calls.push_back({path, serviceInterface, "CPUUsageNSec", "t", {}, number(unit.cpuNsec)});
    calls.push_back({path, serviceInterface, "IOReadBytes", "t", {}, number(unit.ioReadBytes)});
    calls.push_back({path, serviceInterface, "IOWriteBytes", "t", {}, number(unit.ioWriteBytes)});
    calls.push_back(
        {path, serviceInterface, "ExecMainStartTimestamp", "t", {}, number(unit.execMainStart)});
    calls.push_back(
        {path, serviceInterface, "ExecMainExitTimestamp", "t", {}, number(unit.execMainExit)});
    calls.push_back({path, serviceInterface, "MainPID", "u", {}, [&unit](sd_bus_message *reply) {
                       sdBus().bus_message_read(reply, "u", &unit.mainPid);
                     }});
  }
  askAll(calls);
  return found;
}

std::uint64_t SystemdManager::startedAt() {
  std::uint64_t at = 0;
  std::vector<Call> calls;
  calls.push_back(
      {managerPath, managerInterface, "UserspaceTimestamp", "t", {}, [&at](sd_bus_message *reply) {
         sdBus().bus_message_read(reply, "t", &at);
       }});
  askAll(calls);
  return at;
}

} // namespace lw
