#pragma once
// One recording of this logon: every entry that starts at logon, measured until a time after
// the session's start, added to the user's recordings. Both the recorder that the session starts
// at logon and `launchwright impact --record` run it.

#include "support/LanguageTable.h"

#include <chrono>
#include <string_view>

namespace lw {

struct Platform;

enum class RecordingOutcome {
  Recorded,
  SwitchedOff, // config.ini says RecordStartupImpact=0: nothing was measured or written
  NoMeter,     // this system measures nothing
};

// Measures until `until` after the session's start, or reads once with `once` (or when that
// time has passed). `starterFile` is the companion starter's file name, whose own entry is not
// an entry of the user's. Throws FileError when the recordings cannot be written.
RecordingOutcome recordLogon(const Platform &platform, const LanguageTable &texts,
                             std::string_view starterFile, std::chrono::milliseconds until,
                             bool once);

} // namespace lw
