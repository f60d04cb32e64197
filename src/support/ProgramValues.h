#pragma once
// The program's own values in the registry, each reached by a call named for what it means.
// The key paths, value names and data are those every earlier version wrote, so that what is
// stored stays readable; entries of the Run keys are never among them (see StartupState).

#include "platform/Registry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

namespace keys {
inline constexpr const char *settingsRead = "SOFTWARE\\Kestrum\\Kestrumsoft Runwarden";
inline constexpr const char *control = "SOFTWARE\\Kestrum\\Kestrumsoft Launchwright";
inline constexpr const char *suite = "Software\\Kestrum\\Kestrumsoft Toolhaven";
// Customized entries switched off by the user, one value per entry name under the current
// user; kept apart from the entries file so that its format stays as it is.
inline constexpr const char *disabledCustomized =
    "SOFTWARE\\Kestrum\\Kestrumsoft Launchwright\\Disabled entries";
} // namespace keys

// The machine-wide value that tells other programs that customized entries are being started in
// the background. Written on every reload of the entries; the main window deletes it when the
// user brings the window back or ends the program.
inline constexpr const char *backgroundControlName = "background control";
inline constexpr const char *backgroundControlData = "active";
// The suite's value that says one of its programs is running; the program clears it on exit.
inline constexpr const char *suiteActiveName = "active";

// The logon marker: the starter sets "Autostart" to "x" and notes when, beside it, in seconds
// of the system clock; the program it starts takes the marker back. A marker older than a logon
// start can take was left by a program that ended at once, and whoever finds it takes it back
// without acting on it. One without the note (an older starter's) counts as fresh.
namespace logonmarker {
inline constexpr const char *name = "Autostart";
inline constexpr const char *data = "x";
inline constexpr const char *setAt = "Autostart set";
inline constexpr std::int64_t staleAfterSeconds = 120;
std::int64_t now();
} // namespace logonmarker

// The values of the machine (the logon marker, the background control, the suite's state) live
// under HKEY_LOCAL_MACHINE in the original design, which a standard Windows user cannot write.
// They are written there when possible and otherwise under the same key of the current user;
// reads look in both, the machine first, and a removal clears both.
class ProgramValues {
public:
  explicit ProgramValues(Registry &store) : registry(store) {}

  void markBackgroundControl();
  void clearBackgroundControl();
  void clearSuiteActive();

  void setLogonMarker();
  // Takes the marker back; true when it was there and fresh, that is a logon start.
  bool takeLogonMarker();

  // The names of every switched-off customized entry; nothing when the key is absent. Throws
  // FileError when the store exists but cannot be read: that is no answer, and never "none".
  std::optional<std::vector<std::string>> switchedOffCustomized();
  // True when the name is in the asked state afterwards.
  bool setCustomizedSwitchedOff(std::string_view name, bool off);
  // The same for a switch the user asked for: a store that is a file which cannot be changed is
  // a FileError naming it.
  bool switchCustomizedOrFail(std::string_view name, bool off);

private:
  std::optional<std::string> read(std::string_view path, std::string_view name);
  bool write(std::string_view path, std::string_view name, std::string_view data);
  bool remove(std::string_view path, std::string_view name);

  Registry &registry;
};

} // namespace lw
