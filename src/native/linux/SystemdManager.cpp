#include "SystemdManager.h"

#include "SdBus.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <sys/stat.h>

namespace lw {

namespace {

constexpr const char *service = "org.freedesktop.systemd1";
constexpr const char *managerPath = "/org/freedesktop/systemd1";
constexpr const char *managerInterface = "org.freedesktop.systemd1.Manager";
// A manager busy with a reload answers within this; one that takes longer is stuck.
constexpr std::chrono::microseconds callTimeout = std::chrono::seconds(3);

struct Error {
  sd_bus_error error{}; // SD_BUS_ERROR_NULL, which C++ cannot spell: a C compound literal
  ~Error() { sdBus().bus_error_free(&error); }
  std::string say(int result) const {
    return error.message ? error.message : std::strerror(-result);
  }
};

struct Message {
  sd_bus_message *message = nullptr;
  ~Message() { sdBus().bus_message_unref(message); }
};

// D-Bus addresses escape every byte outside a small safe set as %XX.
std::string addressOf(const std::string &socket) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string address = "unix:path=";
  for (const unsigned char c : socket) {
    if (std::strchr("-_/.\\*", c) || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
        (c >= 'A' && c <= 'Z')) {
      address += static_cast<char>(c);
    } else {
      address += '%';
      address += digits[c >> 4];
      address += digits[c & 15];
    }
  }
  return address;
}

std::string notAnswering(int result) {
  return std::string("the systemd user manager does not answer (") + std::strerror(-result) + ")";
}

sd_bus *privateConnection() {
  const char *runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || *runtime != '/')
    return nullptr;
  const SdBus &sd = sdBus();
  const std::string address = addressOf(std::string(runtime) + "/systemd/private");
  sd_bus *bus = nullptr;
  if (sd.bus_new(&bus) < 0)
    return nullptr;
  if (sd.bus_set_address(bus, address.c_str()) < 0 || sd.bus_start(bus) < 0)
    return sd.bus_unref(bus);
  return bus;
}

bool exists(const std::string &path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

// Whether there may be a manager to ask: its private socket, or a session bus other than one
// plain socket that is not there. Where there is none, sd-bus is not loaded only to say so.
bool mayBeAsked() {
  const char *runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime == '/' && exists(std::string(runtime) + "/systemd/private"))
    return true;
  const char *address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (!address)
    return !runtime || *runtime != '/' || exists(std::string(runtime) + "/bus");
  const std::string_view plain = "unix:path=";
  const std::string_view given = address;
  return !given.starts_with(plain) || given.find_first_of(";,%") != std::string_view::npos ||
         exists(std::string(given.substr(plain.size())));
}

} // namespace

std::unique_ptr<SystemdManager> SystemdManager::connect(std::string &why,
                                                        Clock::time_point deadline) {
  // Said as systemctl --user says it, so that the one line tells what is missing.
  const auto nobody = [&why](int error) {
    why =
        std::string("no systemd user manager or session bus to ask (") + std::strerror(error) + ")";
    return nullptr;
  };
  if (!mayBeAsked())
    return nobody(ENOENT);
  std::string failure;
  if (!loadSdBus(failure)) {
    why = "libsystemd cannot be loaded to ask the systemd user manager (" + failure + ")";
    return nullptr;
  }
  sd_bus *bus = privateConnection();
  if (!bus) {
    if (const int result = sdBus().bus_open_user(&bus); result < 0)
      return nobody(-result);
  }
  std::unique_ptr<SystemdManager> manager(new SystemdManager(bus, deadline));
  if (!manager->handshake()) {
    why = *manager->noAnswer;
    return nullptr;
  }
  return manager;
}

// Not flushed: every call has had its answer or given up on it, and flushing waits without end
// on a manager that does not read.
SystemdManager::~SystemdManager() { sdBus().bus_close_unref(bus); }

// The connection is set up in the background; the first call would wait for that, and for a
// manager that does not answer, far longer than a call may take.
bool SystemdManager::handshake() {
  const Clock::time_point until = std::min(deadline, Clock::now() + callTimeout);
  int result = 0;
  while ((result = sdBus().bus_is_ready(bus)) == 0) {
    result = sdBus().bus_process(bus, nullptr);
    if (result > 0)
      continue;
    if (result < 0)
      break;
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(until - Clock::now());
    if (left.count() <= 0) {
      result = -ETIMEDOUT;
      break;
    }
    result = sdBus().bus_wait(bus, static_cast<std::uint64_t>(left.count()));
    if (result < 0 && result != -EINTR)
      break;
  }
  if (result > 0)
    return true;
  noAnswer = notAnswering(result);
  return false;
}

// Whether a call may still be made, with the time it may take set: the time of one call, or what
// is left before the deadline when that is less.
bool SystemdManager::mayCall() {
  if (noAnswer)
    return false;
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
  if (left.count() <= 0) {
    heard(-ETIMEDOUT);
    return false;
  }
  sdBus().bus_set_method_call_timeout(
      bus, static_cast<std::uint64_t>(std::min(left, callTimeout).count()));
  return true;
}

// A call's result, noting a manager that has stopped answering: no answer in time, or no
// connection any more. Errors the manager answered with are its answers.
int SystemdManager::heard(int result) {
  if (!noAnswer && (result == -ETIMEDOUT || result == -ECONNRESET || result == -ENOTCONN))
    noAnswer = notAnswering(result);
  return result;
}

std::optional<std::vector<std::string>> SystemdManager::unitPath(std::string &why) {
  Error error;
  char **folders = nullptr;
  const int result =
      mayCall() ? heard(sdBus().bus_get_property_strv(bus, service, managerPath, managerInterface,
                                                      "UnitPath", &error.error, &folders))
                : -ETIMEDOUT;
  if (result < 0) {
    why = noAnswer ? *noAnswer : error.say(result);
    return std::nullopt;
  }
  // An empty array comes back as no array at all.
  std::vector<std::string> path;
  for (char **folder = folders; folders && *folder; ++folder) {
    path.emplace_back(*folder);
    std::free(*folder);
  }
  std::free(folders);
  return path;
}

std::optional<std::string> SystemdManager::unitFileState(const std::string &name) {
  Error error;
  Message reply;
  const char *state = nullptr;
  if (!mayCall() ||
      heard(sdBus().bus_call_method(bus, service, managerPath, managerInterface, "GetUnitFileState",
                                    &error.error, &reply.message, "s", name.c_str())) < 0 ||
      sdBus().bus_message_read(reply.message, "s", &state) < 0 || !state || !*state)
    return std::nullopt;
  return state;
}

bool SystemdManager::changeFiles(const char *method, const std::string &name, bool runtime,
                                 bool takesForce) {
  Error error;
  Message reply;
  if (!mayCall())
    return false;
  // Not forced, as systemctl does not force: a forced enable replaces links that point elsewhere.
  const int result = takesForce
                         ? sdBus().bus_call_method(bus, service, managerPath, managerInterface,
                                                   method, &error.error, &reply.message, "asbb", 1,
                                                   name.c_str(), static_cast<int>(runtime), 0)
                         : sdBus().bus_call_method(bus, service, managerPath, managerInterface,
                                                   method, &error.error, &reply.message, "asb", 1,
                                                   name.c_str(), static_cast<int>(runtime));
  return heard(result) >= 0;
}

bool SystemdManager::enable(const std::string &name, bool runtime) {
  return changeFiles("EnableUnitFiles", name, runtime, true);
}
bool SystemdManager::unmask(const std::string &name, bool runtime) {
  return changeFiles("UnmaskUnitFiles", name, runtime, false);
}

bool SystemdManager::reload() {
  Error error;
  Message reply;
  return mayCall() &&
         heard(sdBus().bus_call_method(bus, service, managerPath, managerInterface, "Reload",
                                       &error.error, &reply.message, "")) >= 0;
}

bool SystemdManager::start(const std::string &name) {
  Error error;
  Message reply;
  return mayCall() && heard(sdBus().bus_call_method(bus, service, managerPath, managerInterface,
                                                    "StartUnit", &error.error, &reply.message, "ss",
                                                    name.c_str(), "replace")) >= 0;
}

} // namespace lw
