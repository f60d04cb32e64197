// Started by the shell tests: writes the arguments it received, one a line, to arguments.txt in
// its own folder, under another name first and renamed, so that a reader never sees half of it.
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
  const std::string part = folder + "arguments.part";
  HANDLE file = CreateFileA(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return 1;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return MoveFileA(part.c_str(), (folder + "arguments.txt").c_str()) ? 0 : 1;
}
