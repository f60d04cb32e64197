// Stands in for the main program beside rwlaunch.exe: leaves a marker file in its own folder,
// written under another name and renamed, so that a reader never sees half of it.
#include <string>
#include <windows.h>

int main() {
  char self[32768];
  const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  if (length == 0 || length == sizeof self)
    return 1;
  std::string folder(self, length);
  folder.erase(folder.find_last_of('\\') + 1);
  const std::string part = folder + "started.part";
  HANDLE file = CreateFileA(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return 1;
  DWORD written = 0;
  WriteFile(file, "started", 7, &written, nullptr);
  CloseHandle(file);
  return MoveFileA(part.c_str(), (folder + "started").c_str()) ? 0 : 1;
}
