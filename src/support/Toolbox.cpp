#include "Toolbox.h"

#include "FileError.h"
#include "TextFile.h"

#include <algorithm>
#include <filesystem>

namespace lw {

namespace {
constexpr const char *configFileName = "config.ini";
}

std::string Toolbox::moduleDirectory() const {
  const std::string path = platform->location.executablePath();
  const auto cut = path.find_last_of(platform->location.separator());
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string Toolbox::programFile(std::string_view fileName) const {
  std::string path = moduleDirectory();
  path += platform->location.separator();
  path += fileName;
  return path;
}

std::string Toolbox::shippedFile(std::string_view fileName) const {
  const std::string directory = platform->location.layout().shipped;
  return directory.empty() ? programFile(fileName) : joined(directory, fileName);
}

std::string Toolbox::userFile(std::string_view fileName) const {
  const std::string directory = platform->location.layout().user;
  if (directory.empty())
    return programFile(fileName);
  const std::string path = joined(directory, fileName);
  std::error_code error;
  if (std::filesystem::exists(path, error) || error)
    return path; // a file that cannot even be looked at is reported by whoever opens it
  const std::string shipped = shippedFile(fileName);
  if (!std::filesystem::is_regular_file(shipped, error))
    return path;
  if (!std::filesystem::create_directories(directory, error) && error)
    throw FileError(directory, error.message());
  textfile::writeAtomically(path, textfile::readBytes(shipped), textfile::LinkPolicy::Refuse);
  return path;
}

std::string Toolbox::starterFile(std::string_view fileName) const {
  const std::string directory = platform->location.layout().starter;
  return directory.empty() ? programFile(fileName) : joined(directory, fileName);
}

std::string Toolbox::joined(std::string directory, std::string_view fileName) const {
  directory += platform->location.separator();
  directory += fileName;
  return directory;
}

std::string Toolbox::configValue(std::string_view key) const {
  // The user's own copy, once there (the window writes it at a first choice), wins whole.
  std::string path = shippedFile(configFileName);
  if (const std::string user = platform->location.layout().user; !user.empty()) {
    std::error_code ignored;
    if (std::filesystem::exists(joined(user, configFileName), ignored))
      path = joined(user, configFileName);
  }
  const auto lines = textfile::readLines(path, textfile::settingsReadLimit);
  std::string result;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == key) {
      ++i; // the value line is never examined as a key
      result = i < lines.size() ? lines[i] : std::string();
    }
  }
  return result;
}

bool Toolbox::hasOwnConfig() const {
  const std::string user = platform->location.layout().user;
  std::error_code ignored;
  return !user.empty() && std::filesystem::exists(joined(user, configFileName), ignored);
}

void Toolbox::setConfigValue(std::string_view key, std::string_view value) const {
  const std::string path = userFile(configFileName);
  std::vector<std::string> lines = textfile::readLines(path, textfile::settingsReadLimit);
  // The last key line counts, as configValue reads it.
  auto at = std::find(lines.rbegin(), lines.rend(), key);
  if (at == lines.rend()) {
    lines.insert(lines.begin(), {std::string(key), std::string(value)});
  } else {
    const auto valueLine = at.base(); // the line after the key
    if (valueLine == lines.end())
      lines.emplace_back(value);
    else
      *valueLine = value;
  }
  textfile::writeAtomically(path, textfile::joinLines(lines), textfile::LinkPolicy::Refuse);
}

std::int32_t Toolbox::textToInteger(std::string_view text) {
  // Unsigned arithmetic gives the documented 32-bit wrap-around without undefined behaviour.
  std::uint32_t result = 0;
  std::uint32_t place = 1;
  for (auto it = text.rbegin(); it != text.rend(); ++it) {
    if (*it >= '0' && *it <= '9')
      result += static_cast<std::uint32_t>(*it - '0') * place;
    place *= 10u;
  }
  return static_cast<std::int32_t>(result);
}

std::int32_t Toolbox::powerOf(std::int32_t base, std::int32_t exponent) {
  std::uint32_t result = 1;
  for (std::int32_t i = 0; i < exponent; ++i)
    result *= static_cast<std::uint32_t>(base);
  return static_cast<std::int32_t>(result);
}

std::string Toolbox::padWithZeros(std::string text, std::size_t width) {
  if (text.size() < width)
    text.insert(0, width - text.size(), '0');
  return text;
}

} // namespace lw
