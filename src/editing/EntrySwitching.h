#pragma once
// Switching an entry off and on without deleting it, for every kind. The main window and the
// command-line front end share setEntryEnabled; onSetEntryEnabled is the main window's command.

#include "EntryCommands.h"

#include <string>

namespace lw {

// Run-key entries go through the platform's startup state; a customized entry is listed under
// keys::disabledCustomized while it is off, which the launcher honours on its next reload.
// True when the entry is in the asked state afterwards.
bool setEntryEnabled(const Platform &platform, EntryKind kind, const std::string &name,
                     bool enabled);

// The selected row switched off or on: a missing selection, an unknown kind label and a
// failure are told; the list is refreshed and, for a customized entry, the timer reloads.
void onSetEntryEnabled(EntryCommandHost &host, bool enabled);

} // namespace lw
