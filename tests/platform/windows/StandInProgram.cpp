// Stands in for a program the tests start: writes the arguments it received, one a line, to a
// marker file in its own folder (LW_MARKER_FILE: "started" beside the starter, "arguments.txt"
// for the shell tests), under another name first and renamed, so that a reader never sees half
// of it.
#include <string>
#include <windows.h>

int main(int argc, char **argv) {
  char self[32768];
  const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  if (length == 0 || length == sizeof self)
    return 1;
  std::string folder(self, length);
  folder.erase(folder.find_last_of('\\') + 1);
  std::string text;
  for (int i = 1; i < argc; ++i)
    text += std::string(argv[i]) + "\n";
  const std::string marker = folder + LW_MARKER_FILE;
  const std::string part = marker + ".part";
  HANDLE file = CreateFileA(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return 1;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return MoveFileA(part.c_str(), marker.c_str()) ? 0 : 1;
}
