#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// A 12-digit local time: year, month, day, hour, minute (YYYYMMDDhhmm).
using TimeStamp = std::string;

// The small utility object every part of the program holds its own copy of: where the
// program's files are, the configuration file, number text, registry access by mode and the
// calendar arithmetic of the scheduler.
class Toolbox {
public:
  explicit Toolbox(const Platform &system) : platform(&system) {}

  // Registry key path for the next registry operation whose mode uses it.
  std::string keyPath;
  // Value names of the last enumeration.
  std::vector<std::string> valueNames;

  // --- program directory, configuration, number text ---

  // The program file's directory, without a trailing separator; empty when unknown.
  std::string moduleDirectory() const;
  // moduleDirectory with the platform's separator and the file name appended.
  std::string programFile(std::string_view fileName) const;
  // A shipped, read-only file: the language file, the default configuration, the help pages.
  std::string shippedFile(std::string_view fileName) const;
  // One of this user's writable files. When the layout keeps them apart from the shipped files
  // and the file does not exist yet, it is made from the shipped template of the same name
  // (if there is one); throws FileError when that fails.
  std::string userFile(std::string_view fileName) const;
  // The companion starter's file.
  std::string starterFile(std::string_view fileName) const;
  // The value of a key in "config.ini" (the user's own when there is one, else the shipped
  // one): the line after the last line that equals the key.
  // Throws FileError when the file cannot be read.
  std::string configValue(std::string_view key) const;
  // Whether this user has a "config.ini" of their own, apart from the shipped one.
  bool hasOwnConfig() const;
  // Sets a key's value in this user's "config.ini", made from the shipped one when needed.
  // Throws FileError when it cannot be written.
  void setConfigValue(std::string_view key, std::string_view value) const;

  // Every character is a decimal place; non-digits count as 0. Wraps around in 32 bits.
  static std::int32_t textToInteger(std::string_view text);
  static std::int32_t powerOf(std::int32_t base, std::int32_t exponent);
  static std::string padWithZeros(std::string text, std::size_t width);

  // --- registry by mode ---

  static constexpr const char *missingKeyText = "Registry key was not found :-( ";

  // Mode 1: current user + keyPath; 2: local machine + keyPath; 3: the settings key.
  std::string readValue(int mode, std::string_view name);
  // Empties valueNames, then lists the key's value names; false when the key cannot be opened.
  bool enumerateValues(RegistryRoot root, std::string_view path);
  // Mode 0: local machine + keyPath; 1: current user + keyPath. True when written.
  bool writeValue(int mode, std::string_view name, std::string_view data);
  // Mode 0 and 1 as writeValue; 3: the settings key. True when the value is gone afterwards.
  bool deleteValue(int mode, std::string_view name);

  // --- calendar ---

  static std::string monthName(int month);
  // 1 to 12 for an exact month name; 0 for any other text.
  static int monthNumber(std::string_view name);
  static std::string weekdayName(int weekday);
  static std::string weekdayDigit(std::string_view name);
  // Day 1 is 1 January 2000; every year divisible by 4 is a leap year.
  static std::int32_t dayNumber(std::string_view year, std::string_view monthName,
                                std::string_view day);
  static std::int32_t minuteNumber(std::string_view year, std::string_view monthName,
                                   std::string_view day, std::string_view hour,
                                   std::string_view minute);
  TimeStamp currentStamp() const;
  static TimeStamp stampOf(const LocalTime &time);

  const Platform &system() const { return *platform; }

private:
  std::string joined(std::string directory, std::string_view fileName) const;
  const Platform *platform;
};

// Registry locations the program uses.
namespace keys {
inline constexpr const char *run = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char *settingsRead = "SOFTWARE\\Kestrum\\Kestrumsoft Runwarden";
inline constexpr const char *settingsDelete = "Software\\Kestrum\\Kestrumsoft Runwarden";
inline constexpr const char *control = "SOFTWARE\\Kestrum\\Kestrumsoft Launchwright";
inline constexpr const char *suite = "Software\\Kestrum\\Kestrumsoft Toolhaven";
// Customized entries switched off by the user, one value per entry name under the current
// user; kept apart from the entries file so that its format stays as it is.
inline constexpr const char *disabledCustomized =
    "SOFTWARE\\Kestrum\\Kestrumsoft Launchwright\\Disabled entries";
} // namespace keys

// The program's own values (the logon marker, the background control, the suite's state) live
// under HKEY_LOCAL_MACHINE in the original design, which a standard Windows user cannot write.
// They are written there when possible and otherwise under the same key of the current user;
// reads look in both, the machine first, and a removal clears both.
namespace ownvalues {
std::optional<std::string> read(Registry &registry, std::string_view path, std::string_view name);
bool write(Registry &registry, std::string_view path, std::string_view name, std::string_view data);
bool remove(Registry &registry, std::string_view path, std::string_view name);
// Every key but the Run key belongs to the program.
bool isOwnKey(std::string_view path);
} // namespace ownvalues

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
void set(Registry &registry);
// Takes the marker back; true when it was there and fresh, that is a logon start.
bool take(Registry &registry);
} // namespace logonmarker

} // namespace lw
