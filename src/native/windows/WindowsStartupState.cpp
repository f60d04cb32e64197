#include "WindowsStartupState.h"

#include "CommandSplit.h"
#include "RunValueSnapshot.h"
#include "StartupApproved.h"
#include "WindowsRegistry.h"
#include "support/WideText.h"

#include <windows.h>

namespace lw {

std::optional<std::string> missingWindowsProgram(std::string_view command) {
  const std::string program = programOfCommand(command);
  if (program.empty() || programExists(program))
    return std::nullopt;
  return program;
}

std::optional<std::string> WindowsStartupState::missingProgram(std::string_view command) {
  return missingWindowsProgram(command);
}

std::optional<std::string> WindowsStartupState::approval(RegistryRoot root,
                                                         std::string_view name) const {
  return startupApproved::read(switchRoot(root), switchKey(root), name);
}

bool WindowsStartupState::setApproval(RegistryRoot root, std::string_view name,
                                      const std::string &data) {
  return startupApproved::write(switchRoot(root), switchKey(root), name, data);
}

bool WindowsStartupState::removeApproval(RegistryRoot root, std::string_view name) {
  return startupApproved::remove(switchRoot(root), switchKey(root), name);
}

RegistryRoot WindowsStartupState::switchRoot(RegistryRoot root) {
  return root == RegistryRoot::LocalMachine32 ? RegistryRoot::LocalMachine : root;
}

std::string WindowsStartupState::switchKey(RegistryRoot root) const {
  return root == RegistryRoot::LocalMachine32 ? approved + "32" : approved;
}

void WindowsStartupState::forgetSwitch(RegistryRoot root, std::string_view name) {
  removeApproval(root, name);
}

std::string WindowsStartupState::programCommand(std::string_view programFile) const {
  const std::string path(programFile);
  return path.find_first_of(" \t") == std::string::npos ? path : '"' + path + '"';
}

bool WindowsStartupState::isProgramCommand(std::string_view command,
                                           std::string_view programFile) const {
  return command == programCommand(programFile) || command == '"' + std::string(programFile) + '"';
}

std::optional<std::vector<RunEntry>> WindowsStartupState::entries(RegistryRoot root) {
  std::vector<RunEntry> result;
  list(root, result);
  // 32-bit installers write their Run values where a 32-bit program sees the key, and Explorer
  // starts those too: they are the machine's entries as much as the others.
  if (root == RegistryRoot::LocalMachine)
    list(RegistryRoot::LocalMachine32, result);
  return result;
}

void WindowsStartupState::list(RegistryRoot root, std::vector<RunEntry> &result) {
  auto names = registry.enumerate(root, run);
  if (!names)
    return;
  result.reserve(result.size() + names->size());
  for (auto &name : *names) {
    RunEntry entry;
    entry.view32 = root == RegistryRoot::LocalMachine32;
    entry.command = registry.read(root, run, name).value_or(std::string());
    const auto state = approval(root, name);
    if (state && startupApproved::isSwitchedOff(*state)) {
      entry.verdict = StartVerdict::Disabled;
    } else if (entry.command.empty()) {
      entry.verdict = StartVerdict::NotAProgram;
    } else if (auto missing = missingProgram(entry.command)) {
      entry.verdict = StartVerdict::ProgramMissing;
      entry.detail = std::move(*missing);
    }
    entry.name = std::move(name);
    result.push_back(std::move(entry));
  }
}

std::optional<std::vector<std::string>> WindowsStartupState::names(RegistryRoot root) {
  return registry.enumerate(root, run);
}

std::optional<std::string> WindowsStartupState::commandOf(RegistryRoot root,
                                                          std::string_view name) {
  return registry.read(root, run, name);
}

bool WindowsStartupState::write(RegistryRoot root, std::string_view name,
                                std::string_view command) {
  return registry.write(root, run, name, command);
}

bool WindowsStartupState::remove(RegistryRoot root, std::string_view name) {
  return registry.remove(root, run, name);
}

bool WindowsStartupState::setEnabled(RegistryRoot root, std::string_view name, bool enabled) {
  if (!registry.read(root, run, name))
    return false;
  return startupApproved::setSwitchedOn(switchRoot(root), switchKey(root), name, enabled);
}

bool WindowsStartupState::rename(RegistryRoot root, std::string_view from, std::string_view to) {
  const auto command = registry.read(root, run, from);
  if (!command || registry.read(root, run, to))
    return false;
  const auto state = approval(root, from);
  if (state && !setApproval(root, to, *state))
    return false;
  if (!registry.write(root, run, to, *command)) {
    removeApproval(root, to);
    return false;
  }
  if (!registry.remove(root, run, from)) {
    registry.remove(root, run, to);
    removeApproval(root, to);
    return false;
  }
  removeApproval(root, from);
  return true;
}

namespace {

// Makes the key hold what it held (or is to hold) under the name: the value, or none at all.
bool put(RegistryRoot root, const std::string &keyPath, std::string_view name,
         const std::optional<winreg::RawValue> &value) {
  return value ? winreg::setValue(root, keyPath, name, *value)
               : winreg::removeValue(root, keyPath, name);
}

bool putBack(RegistryRoot root, const std::string &keyPath, std::string_view name,
             const std::optional<winreg::HeldValue> &held) {
  return held ? winreg::setValue(root, keyPath, held->name, held->value)
              : winreg::removeValue(root, keyPath, name);
}

} // namespace

std::optional<std::string> WindowsStartupState::snapshot(RegistryRoot root, std::string_view name) {
  std::optional<winreg::HeldValue> value;
  std::optional<winreg::HeldValue> approval;
  if (!winreg::findValue(root, run, name, value) || !value ||
      !winreg::findValue(switchRoot(root), switchKey(root), name, approval))
    return std::nullopt;
  RunValueSnapshot taken{std::move(value->value), std::nullopt};
  if (approval)
    taken.approval = std::move(approval->value);
  return encodeRunValueSnapshot(taken);
}

SnapshotRestore WindowsStartupState::restoreSnapshot(RegistryRoot root, std::string_view name,
                                                     std::string_view snapshot) {
  const auto wanted = decodeRunValueSnapshot(snapshot);
  if (!wanted)
    return false;
  // What is there now is put back when a write fails, so it has to be known whole first.
  std::optional<winreg::HeldValue> value;
  std::optional<winreg::HeldValue> approval;
  const RegistryRoot stateRoot = switchRoot(root);
  const std::string state = switchKey(root);
  if (!winreg::findValue(root, run, name, value) ||
      !winreg::findValue(stateRoot, state, name, approval))
    return false;
  // The state goes first: a value without its switch-off would start at the next logon if the
  // program stopped between the two, a switch-off without its value is never looked at.
  if (!put(stateRoot, state, name, wanted->approval)) {
    putBack(stateRoot, state, name, approval);
    return false;
  }
  if (!put(root, run, name, wanted->value)) {
    putBack(root, run, name, value);
    putBack(stateRoot, state, name, approval);
    return false;
  }
  return true;
}

} // namespace lw
