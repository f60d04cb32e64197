// A program that costs what it is told: `impact_burner MS REPORT [AFTER_MS]` waits AFTER_MS
// milliseconds, burns MS milliseconds of CPU, half itself and half in a child it waits for,
// writes the CPU time it and its children used by its own account (getrusage) to REPORT, then
// sleeps until it is ended.

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void burn(long ms) {
  timespec start{}, now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
  volatile unsigned long sink = 0;
  do {
    for (int i = 0; i < 100000; ++i)
      sink = sink + static_cast<unsigned long>(i);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  } while ((now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1'000'000 < ms);
}

long msOf(const rusage &usage) {
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3)
    return 2;
  const long ms = std::atol(argv[1]);
  if (argc > 3)
    usleep(static_cast<useconds_t>(std::atol(argv[3]) * 1000));
  burn(ms / 2);
  if (const pid_t child = fork(); child == 0) {
    burn(ms - ms / 2);
    _exit(0);
  } else if (child > 0) {
    waitpid(child, nullptr, 0);
  }
  rusage self{}, children{};
  getrusage(RUSAGE_SELF, &self);
  getrusage(RUSAGE_CHILDREN, &children);
  const std::string temporary = std::string(argv[2]) + ".part";
  if (FILE *report = std::fopen(temporary.c_str(), "w")) {
    std::fprintf(report, "%ld\n", msOf(self) + msOf(children));
    std::fclose(report);
    std::rename(temporary.c_str(), argv[2]);
  }
  for (;;)
    pause();
}
