#pragma once

#include "EntryStore.h"

namespace lw {

struct ReversalResult {
  int restored = 0;
  bool customizedChanged = false; // the caller has the timer reload its entries
};

// The schedule a restored customized entry gets: the backup record keeps no schedule, so it
// comes back as "1x per day" with no weekday.
inline constexpr const char *restoredSchedule = "000000000000000x00";

// How a backup record's kind line is shown: the kind's label, or the line itself when a hand
// edit left something else there.
std::string backupKindLabel(const std::string &kindLine, const LanguageTable &texts);

// The walk of "Reverse Startup Changes": asks per record through the prompter, oldest first,
// and restores what is answered Yes through `toolbox` (the main window's; keyPath is set before
// each write). A Run entry goes back into its Run key, a customized entry into the customized
// entries file with restoredSchedule and the current time. A record whose restore fails is told
// with text 195 and stays; a restored one leaves the file, told with text 190. The file is
// written once, at the end. A record header with no kind line behind it is not offered; a last
// record cut short is removed only as far as it goes, and a fifth line that begins the next
// record stays with that record. Throws FileError when the backup file
// cannot be read, is not recognised or cannot be written.
ReversalResult reverseStartupChanges(EntryStore &store, Toolbox &toolbox,
                                     const LanguageTable &texts);

} // namespace lw
