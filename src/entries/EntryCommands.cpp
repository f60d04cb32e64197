#include "entries/EntryCommands.h"

#include "entries/StartupList.h"
#include "storage/DisabledEntries.h"
#include "storage/EntryFormat.h"
#include "support/ProgramValues.h"
#include "support/Utf8.h"

#include <algorithm>

namespace lw {

namespace {

bool isBlank(const std::string &text) { return text.find_first_not_of(" \t") == std::string::npos; }

// An edit that keeps a Run-key entry in its key: the entry keeps its place and everything the
// user did not change here, its other settings in the autostart file and whether it is switched
// off. The record comes first, so that Reverse Startup Changes can bring the old name and
// command back whatever happens next.
bool changeInPlace(EntryStore &store, const EntryValues &old, const EntryValues &entry) {
  store.recordInBackup(old.kind, old.name, old.command, old.view32);
  const RegistryRoot root = rootOf(old.kind, old.view32);
  if (entry.name != old.name && !store.system().startup.rename(root, old.name, entry.name))
    return false;
  if (!entry.application.empty())
    return store.system().startup.writeFromApplication(root, entry.name, entry.command,
                                                       entry.application);
  if (entry.command == old.command)
    return true;
  return store.system().startup.write(root, entry.name, entry.command);
}

bool writeRunEntry(StartupState &startup, const EntryValues &entry) {
  if (!entry.application.empty())
    return startup.writeFromApplication(rootOf(entry.kind), entry.name, entry.command,
                                        entry.application);
  return startup.write(rootOf(entry.kind), entry.name, entry.command);
}

} // namespace

bool setEntryEnabled(const Platform &platform, EntryKind kind, const std::string &name,
                     bool enabled, bool view32) {
  if (kind == EntryKind::Customized) {
    // A store that cannot be read is named, rather than reported as a switch that failed.
    disabledCustomizedNames(platform.registry);
    return ProgramValues(platform.registry).switchCustomizedOrFail(name, !enabled);
  }
  return platform.startup.setEnabled(rootOf(kind, view32), name, enabled);
}

std::string storedScheduleLine(const std::vector<std::string> &customLines,
                               const std::string &name) {
  std::string line;
  // Blocks are found by position; a trailing incomplete block may lack its schedule line.
  for (std::size_t at = 0; at < customLines.size(); at += linesPerBlock)
    if (customLines[at] == name)
      line = at + 2 < customLines.size() ? customLines[at + 2] : std::string();
  return line;
}

std::size_t longestName(const StartupState &startup, EntryKind kind) {
  if (kind == EntryKind::Customized)
    return longestCommand;
  return std::min(longestCommand, startup.longestName(rootOf(kind)));
}

SaveOutcome refusalOf(const StartupState &startup, const std::optional<EntryValues> &old,
                      const EntryValues &entry) {
  // A line break would split the entry's block or record in the data files, or its autostart
  // file.
  if (containsLineBreak(entry.name) || containsLineBreak(entry.command))
    return SaveOutcome::LineBreak;
  // Blanks alone start nothing anywhere; as an autostart entry they are not even a program.
  if (isBlank(entry.command))
    return SaveOutcome::NoCommand;
  // A desktop entry is UTF-8 text; a command that is not would be written, said to be added,
  // and then never started.
  if (entry.kind != EntryKind::Customized && !isValidUtf8(entry.command))
    return SaveOutcome::NotUtf8;
  if (entry.command.size() > longestCommand)
    return SaveOutcome::CommandTooLong;
  // Checked here, where a script or the user can be told why, and not found out by a write
  // that fails like a lack of rights would. A customized entry's name is a line of its data
  // file: any bytes without a line break keep the file's blocks in place.
  if (old && old->kind == entry.kind && old->name == entry.name)
    return SaveOutcome::Saved;
  if (entry.kind != EntryKind::Customized && !startup.usableName(rootOf(entry.kind), entry.name))
    return SaveOutcome::BadName;
  if (entry.name.size() > longestName(startup, entry.kind))
    return SaveOutcome::NameTooLong;
  return SaveOutcome::Saved;
}

bool nameUsed(EntryStore &store, const std::optional<EntryValues> &old, const EntryValues &entry) {
  const bool sameList = old && old->kind == entry.kind;
  for (const auto &name : store.namesLike(entry.kind, entry.name, sameList && old->view32))
    if (!(sameList && name == old->name))
      return true;
  return false;
}

SaveOutcome saveEntry(EntryStore &store, const std::optional<EntryValues> &old,
                      const EntryValues &entry, const std::function<void()> &customizedWritten) {
  if (const SaveOutcome refused = refusalOf(store.system().startup, old, entry);
      refused != SaveOutcome::Saved)
    return refused;
  if (nameUsed(store, old, entry))
    return SaveOutcome::NameUsed;
  const auto announce = [&customizedWritten] {
    if (customizedWritten)
      customizedWritten();
  };
  const bool runKeyKind = entry.kind != EntryKind::Customized;
  if (old && runKeyKind && entry.kind == old->kind)
    return changeInPlace(store, *old, entry) ? SaveOutcome::Saved : SaveOutcome::WriteFailed;

  // A change of kind moves the entry to another list: the old one is removed (and recorded),
  // the new one written afresh, switched on. A customized entry is edited the same way (its
  // block moves to the end with a fresh stamp) but keeps its switch.
  bool wasDisabled = false;
  if (old) {
    const bool wasCustomized = old->kind == EntryKind::Customized;
    wasDisabled = wasCustomized && isCustomizedDisabled(store.system().registry, old->name);
    // The old entry still in place beside a new one would leave two. One that is gone already
    // (another program removed it) leaves nothing to keep.
    const RemovalOutcome removal =
        store.removeWithBackup(old->kind, old->name, old->command, old->view32);
    if (removal != RemovalOutcome::Removed && removal != RemovalOutcome::NothingToRemove)
      return SaveOutcome::NotRemoved;
    if (wasCustomized)
      announce();
  }
  if (runKeyKind)
    return writeRunEntry(store.system().startup, entry) ? SaveOutcome::Saved
                                                        : SaveOutcome::WriteFailed;
  store.addEntry(entry.name, entry.command, entry.schedule + store.toolbox.currentStamp());
  // A switched-off customized entry stays off under its new name or schedule.
  if (wasDisabled)
    setCustomizedDisabled(store.system().registry, entry.name, true);
  announce();
  return SaveOutcome::Saved;
}

RemovalOutcome deleteEntry(EntryStore &store, const EntryValues &entry,
                           std::string_view starterFile, const std::function<void()> &removed) {
  const RemovalOutcome outcome =
      store.removeWithBackup(entry.kind, entry.name, entry.command, entry.view32);
  if (outcome != RemovalOutcome::Removed && outcome != RemovalOutcome::NothingToRemove)
    return outcome;
  if (removed)
    removed();
  if (outcome == RemovalOutcome::Removed) {
    store.readEntries();
    updateStarterValue(store.toolbox, !entriesOf(store.customLines).empty(), starterFile);
  }
  return outcome;
}

} // namespace lw
