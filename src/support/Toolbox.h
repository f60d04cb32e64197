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
// program's files are, the configuration file, number text and the calendar arithmetic of the
// scheduler.
class Toolbox {
public:
  explicit Toolbox(const Platform &system) : platform(&system) {}

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

} // namespace lw
