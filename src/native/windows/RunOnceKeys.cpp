#include "RunOnceKeys.h"

#include "WindowsStartupState.h"

namespace lw {

LogonSourceListing RunOnceKeys::list() {
  LogonSourceListing listing;
  // 32-bit installers write the machine's key where a 32-bit program sees it (WOW6432Node), and
  // Explorer runs those values as well.
  for (const auto root :
       {RegistryRoot::CurrentUser, RegistryRoot::LocalMachine, RegistryRoot::LocalMachine32}) {
    const auto names = registry.enumerate(root, key);
    if (!names)
      continue;
    for (const auto &name : *names) {
      LogonItem item;
      item.source = &description;
      item.name = name; // a leading '!' or '*' is part of the name: Explorer's own flags
      item.command = registry.read(root, key, name).value_or(std::string());
      item.reason = &runsOnce;
      item.allUsers = root != RegistryRoot::CurrentUser;
      if (item.command.empty()) {
        item.verdict = StartVerdict::NotAProgram;
      } else if (auto missing = missingWindowsProgram(item.command)) {
        item.verdict = StartVerdict::ProgramMissing;
        item.detail = std::move(*missing);
      }
      if (root == RegistryRoot::LocalMachine32)
        item.detail += item.detail.empty() ? "32-bit" : "; 32-bit";
      listing.items.push_back(std::move(item));
    }
  }
  return listing;
}

} // namespace lw
