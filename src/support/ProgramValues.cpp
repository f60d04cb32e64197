#include "ProgramValues.h"

#include <charconv>
#include <chrono>

namespace lw {

namespace {
constexpr RegistryRoot machine = RegistryRoot::LocalMachine;
constexpr RegistryRoot user = RegistryRoot::CurrentUser;
constexpr const char *switchedOffMark = "1";
} // namespace

std::optional<std::string> ProgramValues::read(std::string_view path, std::string_view name) {
  if (auto data = registry.read(machine, path, name))
    return data;
  return registry.read(user, path, name);
}

bool ProgramValues::write(std::string_view path, std::string_view name, std::string_view data) {
  return registry.write(machine, path, name, data) || registry.write(user, path, name, data);
}

bool ProgramValues::remove(std::string_view path, std::string_view name) {
  // A machine key the user may not change is only touched when it holds the value.
  const bool machineClear =
      !registry.read(machine, path, name) || registry.remove(machine, path, name);
  return registry.remove(user, path, name) && machineClear;
}

void ProgramValues::markBackgroundControl() {
  write(keys::control, backgroundControlName, backgroundControlData);
}

void ProgramValues::clearBackgroundControl() { remove(keys::control, backgroundControlName); }

void ProgramValues::clearSuiteActive() { remove(keys::suite, suiteActiveName); }

std::int64_t logonmarker::now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void ProgramValues::setLogonMarker() {
  write(keys::settingsRead, logonmarker::setAt, std::to_string(logonmarker::now()));
  write(keys::settingsRead, logonmarker::name, logonmarker::data);
}

bool ProgramValues::takeLogonMarker() {
  if (read(keys::settingsRead, logonmarker::name) != logonmarker::data)
    return false;
  const std::optional<std::string> when = read(keys::settingsRead, logonmarker::setAt);
  remove(keys::settingsRead, logonmarker::name);
  remove(keys::settingsRead, logonmarker::setAt);
  if (!when)
    return true;
  std::int64_t at = 0;
  const auto [end, error] = std::from_chars(when->data(), when->data() + when->size(), at);
  // A note that is not a time, or one from the future of a clock set back, is no proof of age.
  return error != std::errc() || end != when->data() + when->size() ||
         logonmarker::now() - at <= logonmarker::staleAfterSeconds;
}

std::optional<std::vector<std::string>> ProgramValues::switchedOffCustomized() {
  return registry.enumerateOrFail(user, keys::disabledCustomized);
}

bool ProgramValues::setCustomizedSwitchedOff(std::string_view name, bool off) {
  if (off)
    return registry.write(user, keys::disabledCustomized, name, switchedOffMark);
  return registry.remove(user, keys::disabledCustomized, name);
}

bool ProgramValues::switchCustomizedOrFail(std::string_view name, bool off) {
  if (off)
    return registry.writeOrFail(user, keys::disabledCustomized, name, switchedOffMark);
  return registry.removeOrFail(user, keys::disabledCustomized, name);
}

} // namespace lw
