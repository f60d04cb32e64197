// Starting programs through the Linux shell: real processes, seen through the files they write.
#include "PlatformTesting.h"
#include "native/linux/LinuxShell.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

class ShellStart : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(home);
    // Records its arguments, working directory, parent and open descriptors.
    const std::string out = report.string();
    writeScript(recorder, "for a in \"$@\"; do printf '%s\\000' \"$a\"; done > '" + out +
                              ".args'\npwd > '" + out + ".pwd'\necho $PPID > '" + out +
                              ".ppid'\nls /proc/$$/fd > '" + out + ".fds'\nmv '" + out +
                              ".args' '" + out + "'\n");
  }

  Args reportedArguments() {
    const auto bytes = waitForFile(report);
    if (!bytes)
      return {"<nothing started>"};
    Args args;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes->find('\0', start)) != std::string::npos; start = end + 1)
      args.push_back(bytes->substr(start, end - start));
    return args;
  }
  std::string reported(const std::string &what) {
    return readFile(report.string() + "." + what).value_or("");
  }

  TempDir dir;
  fs::path home = dir.path() / "home";
  fs::path recorder = dir.path() / "my tools" / "record";
  fs::path report = dir.path() / "report";
  LinuxShell shell{home.string(), recorder.string()}; // the recorder stands in for xdg-open
};

TEST_F(ShellStart, CommandLineWithArgumentsRunsInTheHomeFolder) {
  const std::string command =
      "\"" + recorder.string() + "\" plain \"two words\" 'single' 100% \"$HOME\" a\\ b";
  ASSERT_TRUE(shell.open(command));
  EXPECT_EQ(reportedArguments(), (Args{"plain", "two words", "single", "100%", "$HOME", "a b"}));
  EXPECT_EQ(reported("pwd"), home.string() + "\n");
}

TEST_F(ShellStart, ExecutableFilesStartThemselvesAndUnquotedPathsWithBlanksAreFound) {
  ASSERT_TRUE(shell.open(recorder.string()));
  EXPECT_EQ(reportedArguments(), Args{});
  fs::remove(report);
  ASSERT_TRUE(shell.open(recorder.string() + " -x"));
  EXPECT_EQ(reportedArguments(), Args{"-x"});
}

TEST_F(ShellStart, AddressesAndDocumentsGoToTheOpener) {
  EXPECT_EQ(shell.commandFor("https://example.org/a b?c=d"),
            (Args{recorder.string(), "https://example.org/a b?c=d"}));
  EXPECT_EQ(shell.commandFor("mailto:x@example.org"), (Args{"mailto:x@example.org"}));
  const auto document = dir.path() / "read me.txt";
  writeFile(document, "text");
  EXPECT_EQ(shell.commandFor(document.string()), (Args{recorder.string(), document.string()}));
  EXPECT_EQ(shell.commandFor(dir.str()), (Args{recorder.string(), dir.str()}));

  ASSERT_TRUE(shell.open(document.string()));
  EXPECT_EQ(reportedArguments(), Args{document.string()});
}

TEST_F(ShellStart, WhatCannotStartIsReportedAsNotStarted) {
  EXPECT_FALSE(shell.open(""));
  EXPECT_FALSE(shell.open("   "));
  EXPECT_FALSE(shell.open("launchwright-no-such-program --flag"));
  EXPECT_FALSE(shell.open((dir.path() / "missing" / "program").string()));
  const auto notExecutable = dir.path() / "plain.txt";
  writeFile(notExecutable, "#!/bin/sh\n");
  EXPECT_FALSE(shell.open("\"" + notExecutable.string() + "\" arg")); // exec itself fails
  LinuxShell withoutOpener(home.string(), (dir.path() / "no-opener").string());
  EXPECT_FALSE(withoutOpener.open("https://example.org"));
  EXPECT_FALSE(fs::exists(report));
}

TEST_F(ShellStart, AFailedStartSaysWhy) {
  const auto notExecutable = dir.path() / "plain.txt";
  writeFile(notExecutable, "#!/bin/sh\n");
  const auto folder = dir.path() / "folder";
  fs::create_directories(folder);
  const struct {
    std::string command;
    StartStyle style;
    StartProblem problem;
  } cases[] = {
      {"", StartStyle::Open, StartProblem::ProgramNotFound},
      {"launchwright-no-such-program --flag", StartStyle::Open, StartProblem::ProgramNotFound},
      {(dir.path() / "missing" / "program").string() + " x", StartStyle::Exec,
       StartProblem::ProgramNotFound},
      {"\"" + notExecutable.string() + "\" arg", StartStyle::Open, StartProblem::NotExecutable},
      // The desktop runs an autostart command, it does not open a document or a folder.
      {notExecutable.string(), StartStyle::Exec, StartProblem::NotExecutable},
      {folder.string(), StartStyle::Exec, StartProblem::NotExecutable},
  };
  for (const auto &c : cases) {
    const StartResult result = shell.start(c.command, {}, c.style);
    EXPECT_EQ(result.problem, c.problem) << c.command;
  }
  EXPECT_FALSE(fs::exists(report));
}

TEST_F(ShellStart, ACommandRunsInTheFolderItAsksFor) {
  const auto folder = dir.path() / "work dir";
  fs::create_directories(folder);
  ASSERT_TRUE(
      shell.start("'" + recorder.string() + "' -v", folder.string(), StartStyle::Exec).started());
  EXPECT_EQ(reportedArguments(), Args{"-v"});
  EXPECT_EQ(reported("pwd"), folder.string() + "\n");
}

TEST_F(ShellStart, StartedProgramIsDetachedAndInheritsNoDescriptor) {
  const int leaked = ::open("/dev/null", O_RDONLY); // deliberately without close-on-exec
  ASSERT_GE(leaked, 0);
  const int high = ::fcntl(leaked, F_DUPFD, 200);
  ASSERT_GE(high, 200);

  ASSERT_TRUE(shell.open(recorder.string()));
  reportedArguments();
  const std::string fds = reported("fds");
  ::close(high);
  ::close(leaked);
  ASSERT_FALSE(fds.empty());
  std::istringstream list(fds);
  for (std::string fd; list >> fd;)
    EXPECT_NE(fd, std::to_string(high)) << "the started program holds our descriptor";
  // Not our child, so nothing for us to reap and no zombie left behind.
  EXPECT_NE(reported("ppid"), std::to_string(::getpid()) + "\n");
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

} // namespace
} // namespace lw::test
