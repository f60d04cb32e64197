#pragma once

#include "Toolbox.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lw {

struct TextEntry {
  std::int32_t number = 0;
  std::string text;
};

// A section of the language file that a user can choose.
struct LanguageChoice {
  std::string header; // "[Deutsch]"
  std::string name;   // the language in its own words
  std::string code;   // as a session's locale starts with it: "de"
};

// Every user-visible text by number, from the section of "0013trl.ini" that the "Language"
// key of "config.ini" names. Each owner loads its own table.
class LanguageTable {
public:
  static constexpr const char *fileName = "0013trl.ini";
  static constexpr const char *endMarker = "[EOL]";

  explicit LanguageTable(const Platform &platform) : toolbox(platform) {}

  // Rereads the file and replaces the entries. Throws FileError when the language file or the
  // configuration cannot be read, or when the configured section is missing or has no end
  // marker; the table then keeps what it held.
  void load();
  // The same from the section with this header line ("[English]"), whatever config.ini says.
  void loadSection(const std::string &header);
  // The header line of the section the table holds ("[English]"); empty before the first load.
  const std::string &section() const { return loadedSection; }

  // Every section of the language file, in file order. Throws FileError when it cannot be read.
  std::vector<LanguageChoice> choices() const;
  // Makes the section this user's choice in their own "config.ini", then loads it.
  void choose(const std::string &header);

  // The first entry with this number, in file order; empty when there is none.
  std::string getText(std::int32_t number) const;

  const std::vector<TextEntry> &entries() const { return table; }

  Toolbox toolbox;

private:
  std::vector<TextEntry> table;
  std::string loadedSection;
};

} // namespace lw
