#include "CommandSplit.h"

#include "support/WideText.h"

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

bool isFolder(const std::wstring &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file CreateProcess takes an unquoted run of words for: a name with an extension as it is,
// one without only with ".exe" added (so "C:\dir\Program" beside "C:\dir\Program Files" is
// no program). Named in full, so that the shell cannot pick app.com for app; empty when there
// is none.
std::wstring programFile(const std::wstring &candidate) {
  const auto name = candidate.find_last_of(L"\\/:");
  const bool extension =
      candidate.find(L'.', name == std::wstring::npos ? 0 : name + 1) != std::wstring::npos;
  std::wstring file = extension ? candidate : candidate + L".exe";
  return isFile(file) ? file : std::wstring();
}

bool exists(const std::wstring &program) {
  if (program.find_first_of(L"\\/:") != std::wstring::npos)
    return isFile(program) || isFile(program + L".exe");
  wchar_t found[MAX_PATH];
  const DWORD length = SearchPathW(nullptr, program.c_str(), L".exe", MAX_PATH, found, nullptr);
  return length > 0 && length < MAX_PATH && isFile(found);
}

constexpr const wchar_t *blanks = L" \t";

SplitCommand split(const std::wstring &line, const std::wstring &program, std::size_t rest) {
  SplitCommand result{wide::toUtf8(program), {}};
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
      return split(line, line.substr(start + 1), line.size());
    return split(line, line.substr(start + 1, end - start - 1), end + 1);
  }
  const auto firstEnd = line.find_first_of(blanks, start);
  if (firstEnd == std::wstring::npos)
    return split(line, line.substr(start), line.size());
  for (auto end = firstEnd; end != std::wstring::npos; end = line.find_first_of(blanks, end + 1))
    if (const std::wstring file = programFile(line.substr(start, end - start)); !file.empty())
      return split(line, file, end);
  // The whole line: a program path as the shorter runs are taken, a name on the search path, or
  // a folder with a blank in its name (not a program, but what the shell opens).
  const std::wstring whole = line.substr(start);
  const bool path = whole.find_first_of(L"\\/:") != std::wstring::npos;
  if (const std::wstring file = path ? programFile(whole) : std::wstring(); !file.empty())
    return split(line, file, line.size());
  if ((!path && exists(whole)) || isFolder(whole))
    return split(line, whole, line.size());
  return split(line, line.substr(start, firstEnd - start), firstEnd);
}

std::string programOfCommand(std::string_view command) { return splitCommand(command).program; }

bool programExists(std::string_view program) { return exists(wide::fromUtf8(program)); }

} // namespace lw
