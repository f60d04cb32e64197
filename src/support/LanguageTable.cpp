#include "LanguageTable.h"

#include "FileError.h"
#include "TextFile.h"

namespace lw {

namespace {
constexpr const char *languageKey = "Language";
constexpr std::int32_t languageNameNumber = 658;
constexpr std::int32_t languageCodeNumber = 659;
} // namespace

void LanguageTable::load() {
  std::string header = toolbox.configValue(languageKey);
  // Until a user chooses for themselves, the session's language decides where the file has it.
  if (!toolbox.hasOwnConfig())
    if (const std::string code = toolbox.system().location.messagesLanguage(); !code.empty())
      for (const LanguageChoice &choice : choices())
        if (choice.code == code) {
          header = choice.header;
          break;
        }
  loadSection(header);
}

std::vector<LanguageChoice> LanguageTable::choices() const {
  const auto lines =
      textfile::readLines(toolbox.shippedFile(fileName), textfile::settingsReadLimit);
  std::vector<LanguageChoice> found;
  bool inside = false;
  for (const std::string &line : lines) {
    if (line == endMarker) {
      inside = false;
    } else if (!inside && line.size() > 2 && line.front() == '[' && line.back() == ']') {
      inside = true;
      found.push_back({line, line.substr(1, line.size() - 2), {}});
    } else if (inside && line.size() > 6) {
      const std::int32_t number = Toolbox::textToInteger(std::string_view(line).substr(0, 5));
      if (number == languageNameNumber)
        found.back().name = line.substr(6);
      else if (number == languageCodeNumber)
        found.back().code = line.substr(6);
    }
  }
  return found;
}

void LanguageTable::choose(const std::string &header) {
  toolbox.setConfigValue(languageKey, header);
  loadSection(header);
}

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
