// Two processes adding entries at once. Built where fork() exists.
#include "StoreTesting.h"

#include <sys/wait.h>
#include <unistd.h>

namespace lw::test {
namespace {

TEST_F(StoreTest, ConcurrentAddsFromTwoProcessesLoseNothing) {
  constexpr int perProcess = 40;
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      int status = 0;
      try {
        EntryStore own(program.platform);
        for (int i = 0; i < perProcess; ++i)
          own.addEntry("p" + std::to_string(c) + "-" + std::to_string(i), "cmd", "s");
      } catch (...) {
        status = 1;
      }
      ::_exit(status);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(readBack().size(), 2u * perProcess * linesPerBlock);
}

} // namespace
} // namespace lw::test
