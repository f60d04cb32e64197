#pragma once
// The program keeps its texts, names and paths as UTF-8 bytes on every system; Windows takes
// paths and registry names and data as UTF-16 through its wide functions. These convert at that
// boundary only, so that no text ever passes through the ANSI code page. Bytes that are not
// UTF-8 become U+FFFD: Windows itself has no name for them.

#include <climits>
#include <string>
#include <string_view>
#include <windows.h>

namespace lw::wide {

inline std::wstring fromUtf8(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX)
    return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring result(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, result.data(), length);
  return result;
}

inline std::string toUtf8(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX)
    return {};
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, result.data(), length, nullptr, nullptr);
  return result;
}

// The system's own sentence for an error code or HRESULT, without its line end.
inline std::string systemMessage(DWORD error) {
  wchar_t *buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
  std::string text =
      length ? toUtf8(std::wstring_view(buffer, length)) : "error " + std::to_string(error);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text;
}

} // namespace lw::wide
