#include "Toolbox.h"

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

} // namespace lw
