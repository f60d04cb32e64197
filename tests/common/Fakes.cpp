#include "Fakes.h"

#include "support/TextFile.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <random>

namespace lw::test {

void FixedClock::set(int year, int month, int day, int hour, int minute, int second) {
  // Sakamoto's method, 0 = Sunday.
  static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  int y = month < 3 ? year - 1 : year;
  time = {year,
          month,
          day,
          hour,
          minute,
          second,
          (y + y / 4 - y / 100 + y / 400 + offsets[month - 1] + day) % 7};
}

bool ScriptedPrompter::ask(const std::string &text, const std::string &caption) {
  shown.push_back({text, caption, true});
  if (answers.empty()) {
    ADD_FAILURE() << "unexpected question: " << text;
    return false;
  }
  const bool yes = answers.front();
  answers.pop_front();
  return yes;
}

void ScriptedPrompter::tell(const std::string &text, const std::string &caption) {
  shown.push_back({text, caption, false});
}

void ScriptedPrompter::checkFinished() const {
  EXPECT_TRUE(answers.empty()) << answers.size() << " scripted answer(s) were never asked for";
}

TempDir::TempDir() {
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    root = base / ("launchwright-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(root))
      break;
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(root, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(root, ignored);
}

std::filesystem::path resourceDir() { return LW_RESOURCE_DIR; }

TestProgram::TestProgram()
    : location((dir.path() / "launchwright").generic_string()), platform{registry, shell,
                                                                         clock,    location,
                                                                         prompter, chooser,
                                                                         startup} {
  for (const char *name : {"config.ini", "0013trl.ini", "0013cst.ini", "0013bkp.ini"})
    std::filesystem::copy_file(resourceDir() / name, dir.path() / name);
  clock.set(2006, 6, 30, 9, 5);
}

void TestProgram::writeFile(const std::string &name, const std::string &bytes) const {
  textfile::writeAtomically(file(name), bytes);
}

std::string TestProgram::readFile(const std::string &name) const {
  return textfile::readBytes(file(name));
}

} // namespace lw::test
