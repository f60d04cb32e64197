// The listing on a real terminal (a pty of script(1)) of a given width: cut to it, or whole.
#include "Installation.h"

#include <gtest/gtest.h>

#include <sstream>

namespace lw::test {
namespace {

// The widest line of the terminal's output, in characters; script's pty ends lines in CR LF.
std::size_t widestLine(const std::string &out) {
  std::istringstream lines(out);
  std::size_t widest = 0;
  for (std::string line; std::getline(lines, line);) {
    std::size_t width = 0;
    for (const char c : line)
      width += c != '\r' && (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    widest = std::max(widest, width);
  }
  return widest;
}

TEST(CommandLineTool, ListFitsTheTerminalUnlessFullOrPiped) {
  const Installation lw;
  if (lw.shell("script -V").status != 0)
    GTEST_SKIP() << "script(1) is missing: no terminal to list on";
  const std::string command =
      "true --a-long-option-list that goes on and on until no terminal is wide enough for it";
  ASSERT_EQ(
      lw.run({"add", "--kind", "user", "--name", "A rather long entry name", "--command", command})
          .status,
      0);
  const struct {
    const char *slip; // the one-line mistake the row catches
    std::string script;
    std::size_t widest; // at most this wide; 0 for wider than the terminal
    std::string printed;
  } rows[] = {
      {"the terminal's width not asked (ioctl)", "stty cols 60; LANG=C.UTF-8 launchwright list", 60,
       "A rather long entry name  Starts  true --a-lo\xE2\x80\xA6\r"},
      {"an ASCII terminal given the UTF-8 ellipsis", "stty cols 60; LANG=C launchwright list", 60,
       "true --a-...\r"},
      {"COLUMNS not read where the terminal tells no width",
       "stty cols 0; COLUMNS=58 launchwright list", 58, "A rather long entry name  Starts  true"},
      {"the name cut before the command is at its narrowest", "stty cols 50; launchwright list", 50,
       "A rather long ent\xE2\x80\xA6  Starts  true --\xE2\x80\xA6\r"},
      {"--full still cut", "stty cols 60; launchwright list --full", 0, command + "\r"},
      {"a pipe given the table", "stty cols 60; launchwright list | cat", 0,
       "\tA rather long entry name\tStarts\t" + command + "\r"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.slip);
    // The pty joins standard error to the output: the notes there are not the listing's lines.
    const Outcome run =
        lw.shell("script -qec 'exec 2>/dev/null; " + row.script + "' /dev/null </dev/null");
    EXPECT_EQ(run.status, 0) << run.err;
    if (row.widest != 0)
      EXPECT_LE(widestLine(run.out), row.widest) << run.out;
    else
      EXPECT_GT(widestLine(run.out), 60u) << run.out;
    EXPECT_NE(run.out.find(row.printed), std::string::npos) << run.out;
  }
}

} // namespace
} // namespace lw::test
