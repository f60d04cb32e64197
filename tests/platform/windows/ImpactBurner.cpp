// A program that costs what it is told: `impact_burner MS REPORT` burns MS milliseconds of CPU,
// half itself and half in a child it starts (a copy of itself named PROGRAM-helper.exe), writes the
// CPU time both used by their own account (GetProcessTimes of itself) to REPORT, then sleeps until
// it is ended. The child stays too: Windows keeps no account of a process's ended children, so a
// meter reads the child's own.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr DWORD stayMs = 180'000; // ended by the test long before; never left behind for good

long cpuMsOf(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
    return -1;
  const auto ticks = [](const FILETIME &time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return static_cast<long>((ticks(kernel) + ticks(user)) / 10'000);
}

void burn(long ms) {
  const long start = cpuMsOf(GetCurrentProcess());
  volatile unsigned long sink = 0;
  while (cpuMsOf(GetCurrentProcess()) - start < ms)
    for (int i = 0; i < 100000; ++i)
      sink = sink + static_cast<unsigned long>(i);
}

} // namespace

int main(int argc, char **argv) {
  // The child, `impact_burner MS -`, burns and writes its own account to its output: Wine tells
  // any process's times as the asking one's own.
  if (argc == 3 && std::string(argv[2]) == "-") {
    burn(std::atol(argv[1]));
    std::printf("%ld\n", cpuMsOf(GetCurrentProcess()));
    std::fflush(stdout);
    Sleep(stayMs);
    return 0;
  }
  if (argc < 3)
    return 2;
  const long ms = std::atol(argv[1]);
  burn(ms / 2);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE reader = nullptr;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  CreatePipe(&reader, &startup.hStdOutput, &inherit, 0);
  SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
  // The child is a program of another name, as a helper an entry starts would be.
  char self[MAX_PATH];
  const std::string program(self, GetModuleFileNameA(nullptr, self, MAX_PATH));
  const std::string helper = program.substr(0, program.size() - 4) + "-helper.exe";
  CopyFileA(program.c_str(), helper.c_str(), FALSE);
  std::string command = "\"" + helper + "\" " + std::to_string(ms - ms / 2) + " -";
  PROCESS_INFORMATION child{};
  const bool started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &child);
  CloseHandle(startup.hStdOutput);
  std::string childMs;
  char c = 0;
  DWORD got = 0;
  while (started && ReadFile(reader, &c, 1, &got, nullptr) && got == 1 && c != '\n')
    childMs += c;
  const long used = std::atol(childMs.c_str()) + cpuMsOf(GetCurrentProcess());
  const std::string temporary = std::string(argv[2]) + ".part";
  if (FILE *report = std::fopen(temporary.c_str(), "w")) {
    std::fprintf(report, "%ld\n", used);
    std::fclose(report);
    MoveFileExA(temporary.c_str(), argv[2], MOVEFILE_REPLACE_EXISTING);
  }
  Sleep(stayMs);
  return 0;
}
