#pragma once
// The main window's entry commands: Edit (also the list's double click), Add, Delete, and the
// File menu's Reverse Startup Changes and Edit Backup File. They keep no state between calls;
// what they need of the main window comes through EntryCommandHost.

#include "platform/Platform.h"
#include "storage/EntryStore.h"
#include "support/LanguageTable.h"
#include "support/Toolbox.h"

#include <functional>
#include <string>
#include <vector>

namespace lw {

// What the commands need of the main window. The list is the only record of the rows.
class EntryCommandHost {
public:
  virtual ~EntryCommandHost() = default;
  // The row the user last selected, or -1 when there is none.
  virtual int selectionMark() const = 0;
  // Column 0 the name, 1 the kind label, 2 the command.
  virtual std::string cellText(int row, int column) const = 0;
  // Makes the timer reload its copy of the customized entries on its next tick.
  virtual void setReloadPending() = 0;
  virtual void refreshList() = 0;
  // The main window's own table, toolbox and platform.
  virtual const LanguageTable &commandTexts() const = 0;
  virtual Toolbox &commandToolbox() = 0;
  virtual const Platform &commandPlatform() const = 0;
};

// The kind whose label (texts 144, 149, 154, tested in this order, a later match winning) the
// text equals exactly; -1 when it equals none.
int kindOfLabel(const std::string &label, const LanguageTable &texts);

// The whole schedule line (schedule characters and time stamp) of the last block of
// customLines whose name line is the name; empty when no block has it.
std::string storedScheduleLine(const std::vector<std::string> &customLines,
                               const std::string &name);

// removeWithBackup as the user sees it (refusal, question 565, notice 570), but `removed` runs
// between the removal and the notice: the main window's timer keeps ticking inside the
// notice's modal loop and must reload before it writes its copy of the customized entries back.
RemovalOutcome removeAndReport(EntryStore &store, int kind, const std::string &name,
                               const std::string &command, const std::function<void()> &removed);

// Each may throw FileError, which ends the command where it happened; the host's dispatch
// reports it.
void onEditEntry(EntryCommandHost &host);
void onAddEntry(EntryCommandHost &host);
void onDeleteSelectedEntry(EntryCommandHost &host);
void onReverseStartupChanges(EntryCommandHost &host);
void onEditBackupFile(EntryCommandHost &host);

} // namespace lw
