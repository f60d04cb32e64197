// Stands in for a customized entry's program on Windows, whose timer starts a command without
// arguments: appends "ran" and a line end to "log" beside itself.
#include <string>
#include <windows.h>

int main() {
  char self[32768];
  const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  if (length == 0 || length == sizeof self)
    return 1;
  std::string log(self, length);
  log.erase(log.find_last_of('\\') + 1);
  log += "log";
  HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return 1;
  DWORD written = 0;
  const bool done = WriteFile(file, "ran\r\n", 5, &written, nullptr) && written == 5;
  CloseHandle(file);
  return done ? 0 : 1;
}
