// What only the POSIX file layer does: links to data files.

#include "Fakes.h"
#include "support/TextFile.h"

#include <gtest/gtest.h>

namespace lw {
namespace {

TEST(AtomicWrite, ReplacesALinkedFileWhereItIsAndKeepsTheLink) {
  test::TempDir dir;
  const auto target = dir.path() / "shared.ini";
  const auto link = dir.path() / "0013cst.ini";
  textfile::writeAtomically(target.string(), "old");
  std::filesystem::create_symlink(target, link);
  textfile::writeAtomically(link.string(), "new");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(textfile::readBytes(target.string()), "new");
}

} // namespace
} // namespace lw
