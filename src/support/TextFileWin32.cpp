// Bounded reading, atomic replacement and advisory locking on Windows.
#include "FileError.h"
#include "TextFile.h"
#include "TextFileDetail.h"
#include "support/WideText.h"

#include <algorithm>
#include <string>
#include <windows.h>

namespace lw {
namespace {

class Handle {
public:
  explicit Handle(HANDLE opened) : handle(opened) {}
  ~Handle() {
    if (handle != INVALID_HANDLE_VALUE)
      CloseHandle(handle);
  }
  Handle(const Handle &) = delete;
  Handle &operator=(const Handle &) = delete;
  HANDLE get() const { return handle; }

private:
  HANDLE handle;
};

// "<file>.tmp<process id>": temporaries left by writes killed before their rename. A writer in
// progress keeps touching its file, so one untouched for the stale age is nobody's any more.
void removeStaleTemporaries(const std::string &path) {
  const std::string pattern = path + ".tmp*";
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return;
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME &time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  const unsigned long long staleAge =
      static_cast<unsigned long long>(textfile::staleTemporaryAgeSeconds) * 10000000ull;
  const auto slash = path.find_last_of("\\/");
  const std::string directory =
      slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string target = slash == std::string::npos ? path : path.substr(slash + 1);
  do {
    const std::string name = found.cFileName;
    const std::string digits =
        name.size() > target.size() + 4 ? name.substr(target.size() + 4) : "";
    const bool ownPattern =
        !digits.empty() &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    const bool stale = ticks(now) > ticks(found.ftLastWriteTime) + staleAge;
    if (ownPattern && stale && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      DeleteFileA((directory + name).c_str());
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// Another instance, a virus scanner or an indexer may hold the file open for a moment without
// sharing deletion; the replacement is tried again for a while before it counts as failed.
constexpr int replaceAttempts = 40;
constexpr DWORD replacePause = 50; // milliseconds

bool isTransient(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED;
}

} // namespace

std::string textfile::readBytes(const std::string &path, std::size_t limit) {
  Handle in(CreateFileW(wide::fromUtf8(path).c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (in.get() == INVALID_HANDLE_VALUE)
    throw FileError(path, wide::systemMessage(GetLastError()));
  // A pipe, console or device opened under a file's name is never read.
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(in.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(in.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    throw FileError(path, notRegularReason);
  const unsigned long long size =
      (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if (size > limit)
    throw detail::tooLarge(path, limit);

  std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
  std::size_t have = 0;
  while (true) {
    if (have == bytes.size())
      bytes.resize(detail::readCapacity(have, limit));
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - have, 1 << 20));
    DWORD got = 0;
    if (!ReadFile(in.get(), bytes.data() + have, wanted, &got, nullptr))
      throw FileError(path, wide::systemMessage(GetLastError()));
    if (got == 0)
      break;
    have += got;
    if (have > limit)
      throw detail::tooLarge(path, limit);
  }
  bytes.resize(have);
  return bytes;
}

void textfile::writeAtomically(const std::string &path, const std::string &bytes, LinkPolicy,
                               NewFileAccess) {
  const std::wstring target = wide::fromUtf8(path);
  const std::wstring temporary = target + L".tmp" + std::to_wstring(GetCurrentProcessId());
  HANDLE out = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE)
    throw FileError(path, wide::systemMessage(GetLastError()));
  auto fail = [&](DWORD error) {
    if (out != INVALID_HANDLE_VALUE)
      CloseHandle(out);
    DeleteFileW(temporary.c_str());
    throw FileError(path, wide::systemMessage(error));
  };
  std::size_t written = 0;
  while (written < bytes.size()) {
    DWORD chunk = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1 << 20));
    if (!WriteFile(out, bytes.data() + written, wanted, &chunk, nullptr))
      fail(GetLastError());
    written += chunk;
  }
  if (!FlushFileBuffers(out))
    fail(GetLastError());
  CloseHandle(out);
  out = INVALID_HANDLE_VALUE;
  // Access denied is what a pending deletion or an open handle without FILE_SHARE_DELETE gives
  // too; a target that is truly read-only fails the same way after the last attempt.
  for (int attempt = 1;; ++attempt) {
    if (MoveFileExW(temporary.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      break;
    const DWORD error = GetLastError();
    if (!isTransient(error) || attempt == replaceAttempts)
      fail(error);
    Sleep(replacePause);
  }
  removeStaleTemporaries(path);
}

void textfile::appendLines(const std::string &path, const std::string &bytes) {
  Handle out(CreateFileW(wide::fromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (out.get() == INVALID_HANDLE_VALUE)
    throw FileError(path, wide::systemMessage(GetLastError()));
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(out.get(), &size))
    throw FileError(path, wide::systemMessage(GetLastError()));
  // Back to the end of the last whole line.
  LONGLONG keep = size.QuadPart;
  char tail[4096];
  while (keep > 0) {
    const LONGLONG from = std::max<LONGLONG>(0, keep - static_cast<LONGLONG>(sizeof tail));
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(from);
    at.OffsetHigh = static_cast<DWORD>(from >> 32);
    DWORD got = 0;
    if (!ReadFile(out.get(), tail, static_cast<DWORD>(keep - from), &got, &at) || got == 0)
      throw FileError(path, wide::systemMessage(GetLastError()));
    const char *end = tail + got;
    const char *lastEnd = end;
    while (lastEnd != tail && lastEnd[-1] != '\n')
      --lastEnd;
    if (lastEnd != tail) {
      keep = from + (lastEnd - tail);
      break;
    }
    keep = from;
  }
  LARGE_INTEGER position{};
  position.QuadPart = keep;
  if (!SetFilePointerEx(out.get(), position, nullptr, FILE_BEGIN) || !SetEndOfFile(out.get()))
    throw FileError(path, wide::systemMessage(GetLastError()));
  std::size_t written = 0;
  while (written < bytes.size()) {
    DWORD chunk = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1 << 20));
    if (!WriteFile(out.get(), bytes.data() + written, wanted, &chunk, nullptr))
      throw FileError(path, wide::systemMessage(GetLastError()));
    written += chunk;
  }
  if (!FlushFileBuffers(out.get()))
    throw FileError(path, wide::systemMessage(GetLastError()));
}

FileLock::FileLock(const std::string &path) : handle(-1) {
  const std::string lockPath = path + ".lock";
  HANDLE file = CreateFileW(wide::fromUtf8(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    throw FileError(lockPath, wide::systemMessage(GetLastError()));
  OVERLAPPED whole{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    const DWORD error = GetLastError();
    CloseHandle(file);
    throw FileError(lockPath, wide::systemMessage(error));
  }
  handle = reinterpret_cast<std::intptr_t>(file);
}

FileLock::~FileLock() {
  if (handle != -1)
    CloseHandle(reinterpret_cast<HANDLE>(handle)); // closing releases the lock
}

} // namespace lw
