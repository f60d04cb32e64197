#include "CommandSplit.h"

#include "WideText.h"

#include <windows.h>

namespace lw {
namespace {

std::wstring expanded(const std::wstring &text) {
  const DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (size == 0)
    return text;
  std::wstring result(size, L'\0');
  if (ExpandEnvironmentStringsW(text.c_str(), result.data(), size) != size)
    return text;
  result.resize(size - 1);
  return result;
}

bool isFile(const std::wstring &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool exists(const std::wstring &program) {
  if (program.find_first_of(L"\\/:") != std::wstring::npos)
    return isFile(program) || isFile(program + L".exe");
  wchar_t found[MAX_PATH];
  const DWORD length = SearchPathW(nullptr, program.c_str(), L".exe", MAX_PATH, found, nullptr);
  return length > 0 && length < MAX_PATH && isFile(found);
}

constexpr const wchar_t *blanks = L" \t";

SplitCommand split(const std::wstring &line, std::size_t programStart, std::size_t programEnd,
                   std::size_t rest) {
  SplitCommand result{wide::toUtf8(line.substr(programStart, programEnd - programStart)), {}};
  if (rest < line.size())
    if (const auto from = line.find_first_not_of(blanks, rest); from != std::wstring::npos)
      result.arguments = wide::toUtf8(line.substr(from));
  return result;
}

} // namespace

SplitCommand splitCommand(std::string_view command) {
  const std::wstring line = expanded(wide::fromUtf8(command));
  const auto start = line.find_first_not_of(blanks);
  if (start == std::wstring::npos)
    return {};
  if (line[start] == L'"') {
    const auto end = line.find(L'"', start + 1);
    if (end == std::wstring::npos)
      return split(line, start + 1, line.size(), line.size());
    return split(line, start + 1, end, end + 1);
  }
  const auto firstEnd = line.find_first_of(blanks, start);
  for (auto end = firstEnd; end != std::wstring::npos; end = line.find_first_of(blanks, end + 1)) {
    const std::wstring candidate = line.substr(start, end - start);
    if (isFile(candidate) || isFile(candidate + L".exe"))
      return split(line, start, end, end);
  }
  if (firstEnd != std::wstring::npos && exists(line.substr(start)))
    return split(line, start, line.size(), line.size());
  const auto end = firstEnd == std::wstring::npos ? line.size() : firstEnd;
  return split(line, start, end, end);
}

std::string programOfCommand(std::string_view command) { return splitCommand(command).program; }

bool programExists(std::string_view program) { return exists(wide::fromUtf8(program)); }

} // namespace lw
