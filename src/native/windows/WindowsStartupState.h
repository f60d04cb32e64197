#pragma once
// What Windows does with the Run values at logon. Explorer starts every value of both Run keys
// unless the value of the same name beside it under StartupApproved says it is switched off
// (see StartupApproved.h). The machine's Run key has a second, 32-bit view
// (RegistryRoot::LocalMachine32), whose switches are the values of StartupApproved\Run32.

#include "CommandSplit.h"
#include "platform/StartupState.h"

#include <string>
#include <utility>

namespace lw {

class WindowsStartupState : public StartupState {
public:
  static constexpr const char *runKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  static constexpr const char *approvedKey =
      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

  // The key paths are parameters so that tests can work in keys of their own.
  explicit WindowsStartupState(Registry &store, std::string runPath = runKey,
                               std::string approvedPath = approvedKey)
      : registry(store), run(std::move(runPath)), approved(std::move(approvedPath)) {}

  std::optional<std::vector<RunEntry>> entries(RegistryRoot root) override;
  // The Run values of one view of the key, as the registry holds them.
  std::optional<std::vector<std::string>> names(RegistryRoot root) override;
  std::optional<std::string> commandOf(RegistryRoot root, std::string_view name) override;
  bool write(RegistryRoot root, std::string_view name, std::string_view command) override;
  bool remove(RegistryRoot root, std::string_view name) override;
  bool setEnabled(RegistryRoot root, std::string_view name, bool enabled) override;
  bool rename(RegistryRoot root, std::string_view from, std::string_view to) override;
  // The value's type and bytes and its StartupApproved value, or that it has none; see
  // RunValueSnapshot.h for the bytes.
  std::optional<std::string> snapshot(RegistryRoot root, std::string_view name) override;
  SnapshotRestore restoreSnapshot(RegistryRoot root, std::string_view name,
                                  std::string_view snapshot) override;
  std::optional<std::string> missingProgram(std::string_view command) override;
  void forgetSwitch(RegistryRoot root, std::string_view name) override;
  // Quoted when the path holds a blank: unquoted, Windows would try "C:\Program.exe" first.
  std::string programCommand(std::string_view programFile) const override;
  // A path without blanks also counts quoted, as an installer may have written it.
  bool isProgramCommand(std::string_view command, std::string_view programFile) const override;

  // The StartupApproved data of a value, or nothing when it has none.
  std::optional<std::string> approval(RegistryRoot root, std::string_view name) const;

private:
  // The entries of one view of the Run key, appended.
  void list(RegistryRoot root, std::vector<RunEntry> &result);
  // Where a value's switch lives: beside its key, but Explorer keeps the switches of the
  // machine's 32-bit Run key in its own view, under the name Run32.
  static RegistryRoot switchRoot(RegistryRoot root);
  std::string switchKey(RegistryRoot root) const;
  bool setApproval(RegistryRoot root, std::string_view name, const std::string &data);
  bool removeApproval(RegistryRoot root, std::string_view name);

  Registry &registry;
  const std::string run;
  const std::string approved;
};

// The program of a command line when it cannot be found or is not a file; nothing when it is
// there or the command is empty.
std::optional<std::string> missingWindowsProgram(std::string_view command);

} // namespace lw
