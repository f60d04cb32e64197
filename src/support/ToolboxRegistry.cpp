#include "Toolbox.h"

namespace lw {

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
  return platform->registry.write(root, keyPath, name, data);
}

bool Toolbox::deleteValue(int mode, std::string_view name) {
  switch (mode) {
  case 0:
    return platform->registry.remove(RegistryRoot::LocalMachine, keyPath, name);
  case 1:
    return platform->registry.remove(RegistryRoot::CurrentUser, keyPath, name);
  case 3:
    return platform->registry.remove(RegistryRoot::LocalMachine, keys::settingsDelete, name);
  default:
    return false;
  }
}

} // namespace lw
