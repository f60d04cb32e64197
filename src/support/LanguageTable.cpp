#include "LanguageTable.h"

#include "FileError.h"
#include "TextFile.h"

namespace lw {

void LanguageTable::load() { loadSection(toolbox.configValue("Language")); }

void LanguageTable::loadSection(const std::string &header) {
  const std::string path = toolbox.shippedFile(fileName);
  const auto lines = textfile::readLines(path, textfile::settingsReadLimit);
  // The header is quoted from config.ini, which a user may have filled with anything.
  // Built by appending: g++ 12 at -O3 takes `"\"" + std::string` for an overlapping copy.
  std::string quoted = "\"";
  quoted += textfile::excerpt(header);
  quoted += '"';

  std::size_t at = 0;
  while (at < lines.size() && lines[at] != header)
    ++at;
  if (at == lines.size())
    throw FileError(path, "the language section " + quoted + " named in config.ini was not found");

  std::vector<TextEntry> loaded;
  for (++at; at < lines.size() && lines[at] != endMarker; ++at) {
    const std::string &line = lines[at];
    if (line.size() < 5)
      continue; // filler line
    loaded.push_back({Toolbox::textToInteger(std::string_view(line).substr(0, 5)),
                      line.size() > 6 ? line.substr(6) : std::string()});
  }
  if (at == lines.size())
    throw FileError(path, "the language section " + quoted + " has no " + endMarker + " line");
  table = std::move(loaded);
  loadedSection = header;
}

std::string LanguageTable::getText(std::int32_t number) const {
  for (const auto &entry : table)
    if (entry.number == number)
      return entry.text;
  return {};
}

} // namespace lw
