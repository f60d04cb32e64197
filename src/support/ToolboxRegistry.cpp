#include "Toolbox.h"

#include <charconv>
#include <chrono>

namespace lw {

namespace {
constexpr RegistryRoot machine = RegistryRoot::LocalMachine;
constexpr RegistryRoot user = RegistryRoot::CurrentUser;
} // namespace

bool ownvalues::isOwnKey(std::string_view path) {
  const std::string_view run = keys::run;
  return !sameRegistryName(path, run);
}

std::optional<std::string> ownvalues::read(Registry &registry, std::string_view path,
                                           std::string_view name) {
  if (auto data = registry.read(machine, path, name))
    return data;
  return registry.read(user, path, name);
}

bool ownvalues::write(Registry &registry, std::string_view path, std::string_view name,
                      std::string_view data) {
  return registry.write(machine, path, name, data) || registry.write(user, path, name, data);
}

bool ownvalues::remove(Registry &registry, std::string_view path, std::string_view name) {
  // A machine key the user may not change is only touched when it holds the value.
  const bool machineClear =
      !registry.read(machine, path, name) || registry.remove(machine, path, name);
  return registry.remove(user, path, name) && machineClear;
}

std::string Toolbox::readValue(int mode, std::string_view name) {
  RegistryRoot root = RegistryRoot::LocalMachine;
  std::string_view path = keyPath;
  switch (mode) {
  case 1:
    root = RegistryRoot::CurrentUser;
    break;
  case 2:
    break;
  case 3:
    path = keys::settingsRead;
    break;
  default:
    return {};
  }
  if (path.empty())
    return missingKeyText;
  if (root == machine && ownvalues::isOwnKey(path))
    return ownvalues::read(platform->registry, path, name).value_or(std::string());
  return platform->registry.read(root, path, name).value_or(std::string());
}

bool Toolbox::enumerateValues(RegistryRoot root, std::string_view path) {
  valueNames.clear();
  auto names = platform->registry.enumerate(root, path);
  if (!names)
    return false;
  valueNames = std::move(*names);
  return true;
}

bool Toolbox::writeValue(int mode, std::string_view name, std::string_view data) {
  if (mode != 0 && mode != 1)
    return false;
  const auto root = mode == 0 ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
  if (root == machine && ownvalues::isOwnKey(keyPath))
    return ownvalues::write(platform->registry, keyPath, name, data);
  return platform->registry.write(root, keyPath, name, data);
}

bool Toolbox::deleteValue(int mode, std::string_view name) {
  switch (mode) {
  case 0:
    if (ownvalues::isOwnKey(keyPath))
      return ownvalues::remove(platform->registry, keyPath, name);
    return platform->registry.remove(RegistryRoot::LocalMachine, keyPath, name);
  case 1:
    return platform->registry.remove(RegistryRoot::CurrentUser, keyPath, name);
  case 3:
    return ownvalues::remove(platform->registry, keys::settingsDelete, name);
  default:
    return false;
  }
}

std::int64_t logonmarker::now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void logonmarker::set(Registry &registry) {
  ownvalues::write(registry, keys::settingsRead, setAt, std::to_string(now()));
  ownvalues::write(registry, keys::settingsRead, name, data);
}

bool logonmarker::take(Registry &registry) {
  if (ownvalues::read(registry, keys::settingsRead, name) != data)
    return false;
  const std::optional<std::string> when = ownvalues::read(registry, keys::settingsRead, setAt);
  ownvalues::remove(registry, keys::settingsRead, name);
  ownvalues::remove(registry, keys::settingsRead, setAt);
  if (!when)
    return true;
  std::int64_t at = 0;
  const auto [end, error] = std::from_chars(when->data(), when->data() + when->size(), at);
  // A note that is not a time, or one from the future of a clock set back, is no proof of age.
  return error != std::errc() || end != when->data() + when->size() ||
         now() - at <= staleAfterSeconds;
}

} // namespace lw
