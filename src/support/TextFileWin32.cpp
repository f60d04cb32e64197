// Atomic replacement and advisory locking on Windows.
#include "FileError.h"
#include "TextFile.h"

#include <algorithm>
#include <string>
#include <windows.h>

namespace lw {
namespace {

std::string systemMessage(DWORD error) {
  char *buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char *>(&buffer), 0, nullptr);
  std::string text = length ? std::string(buffer, length) : "error " + std::to_string(error);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text;
}

} // namespace

void textfile::writeAtomically(const std::string &path, const std::string &bytes, LinkPolicy) {
  const std::string temporary = path + ".tmp" + std::to_string(GetCurrentProcessId());
  HANDLE out = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE)
    throw FileError(path, systemMessage(GetLastError()));
  auto fail = [&](DWORD error) {
    if (out != INVALID_HANDLE_VALUE)
      CloseHandle(out);
    DeleteFileA(temporary.c_str());
    throw FileError(path, systemMessage(error));
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
  if (!MoveFileExA(temporary.c_str(), path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    fail(GetLastError());
}

FileLock::FileLock(const std::string &path) : handle(-1) {
  const std::string lockPath = path + ".lock";
  HANDLE file = CreateFileA(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    throw FileError(lockPath, systemMessage(GetLastError()));
  OVERLAPPED whole{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    const DWORD error = GetLastError();
    CloseHandle(file);
    throw FileError(lockPath, systemMessage(error));
  }
  handle = reinterpret_cast<std::intptr_t>(file);
}

FileLock::~FileLock() {
  if (handle != -1)
    CloseHandle(reinterpret_cast<HANDLE>(handle)); // closing releases the lock
}

} // namespace lw
