#include "EntrySwitching.h"

#include "storage/DisabledEntries.h"
#include "support/TextNumbers.h"

namespace lw {

bool setEntryEnabled(const Platform &platform, EntryKind kind, const std::string &name,
                     bool enabled) {
  switch (kind) {
  case EntryKind::Customized:
    return setCustomizedDisabled(platform.registry, name, !enabled);
  case EntryKind::CurrentUser:
    return platform.startup.setEnabled(RegistryRoot::CurrentUser, name, enabled);
  case EntryKind::AllUsers:
    return platform.startup.setEnabled(RegistryRoot::LocalMachine, name, enabled);
  }
  return false;
}

void onSetEntryEnabled(EntryCommandHost &host, bool enabled) {
  const Platform &platform = host.commandPlatform();
  const LanguageTable &texts = host.commandTexts();
  const int row = host.selectionMark();
  if (row == -1) {
    platform.prompter.tell(texts.getText(text::noSelectionToSwitch), EntryStore::caption);
    return;
  }
  const int kind = kindOfLabel(host.cellText(row, 1), texts);
  if (kind == -1) {
    platform.prompter.tell(texts.getText(text::unknownKindRefused), EntryStore::caption);
    return;
  }
  if (!setEntryEnabled(platform, static_cast<EntryKind>(kind), host.cellText(row, 0), enabled))
    platform.prompter.tell(texts.getText(text::switchFailed), EntryStore::caption);
  else if (kind == static_cast<int>(EntryKind::Customized))
    host.setReloadPending();
  host.refreshList();
}

} // namespace lw
