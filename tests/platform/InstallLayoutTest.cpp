// The portable and the installed layout: which one the program's place gives, and that each
// user of one installation gets files of their own, made from the shipped templates.
#include "native/linux/InstallLayout.h"
#include "PlatformTesting.h"
#include "starter/Starter.h"
#include "storage/EntryStore.h"
#include "support/Toolbox.h"

#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

constexpr const char *shippedNames[] = {"0013trl.ini", "config.ini", "0013cst.ini", "0013bkp.ini"};

// An installation under <root>/prefix as `cmake --install` lays it out.
fs::path install(const fs::path &root) {
  const fs::path prefix = root / "prefix";
  writeFile(prefix / "bin" / "launchwright", "");
  writeFile(prefix / "libexec" / "launchwright" / "rwlaunch", "");
  for (const char *name : shippedNames) {
    fs::create_directories(prefix / "share" / "launchwright");
    fs::copy_file(resourceDir() / name, prefix / "share" / "launchwright" / name);
  }
  return prefix;
}

class InstalledLocation : public FixedLocation {
public:
  using FixedLocation::FixedLocation;
  ProgramLayout layout() const override { return laidOut; }
  ProgramLayout laidOut;
};

TEST(InstallLayout, TheProgramsPlaceDecidesTheLayout) {
  TempDir dir;
  const fs::path prefix = install(dir.path());
  writeFile(dir.path() / "portable" / "0013trl.ini", "");
  fs::create_directories(dir.path() / "lonely");
  std::map<std::string, std::string> environment{{"HOME", "/home/ann"}};
  const auto lookUp = [&](const char *name) -> const char * {
    const auto found = environment.find(name);
    return found == environment.end() ? nullptr : found->second.c_str();
  };
  const auto decide = [&](const fs::path &program) {
    return decideLayout(program.string(), lookUp);
  };

  EXPECT_TRUE(decide(dir.path() / "portable" / "launchwright").portable());
  EXPECT_TRUE(decide(dir.path() / "lonely" / "launchwright").portable());
  EXPECT_TRUE(decide("launchwright").portable());

  const ProgramLayout installed = decide(prefix / "bin" / "launchwright");
  EXPECT_EQ(installed.shipped, (prefix / "share" / "launchwright").string());
  EXPECT_EQ(installed.user, "/home/ann/.local/share/launchwright");
  EXPECT_EQ(installed.starter, (prefix / "libexec" / "launchwright").string());
  environment["XDG_DATA_HOME"] = "/data/ann";
  EXPECT_EQ(decide(prefix / "bin" / "launchwright").user, "/data/ann/launchwright");
  environment["XDG_DATA_HOME"] = "relative/data";
  EXPECT_EQ(decide(prefix / "bin" / "launchwright").user, "/home/ann/.local/share/launchwright");

  // The installed starter starts the installed program; a starter beside a program starts that.
  EXPECT_EQ(programBeside(installed.starter + "/"), (prefix / "bin" / "launchwright").string());
  writeFile(prefix / "libexec" / "launchwright" / "launchwright", "");
  EXPECT_EQ(programBeside(installed.starter + "/"), installed.starter + "/launchwright");

  // Data files in a program directory that cannot be written do not make it portable.
  if (::geteuid() != 0) { // root writes anywhere
    writeFile(prefix / "bin" / "0013trl.ini", "");
    fs::permissions(prefix / "bin", fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_EQ(decide(prefix / "bin" / "launchwright").shipped, installed.shipped);
    fs::permissions(prefix / "bin", fs::perms::owner_write, fs::perm_options::add);
  }
}

TEST(InstallLayout, EachUserOfOneInstallationKeepsFilesOfTheirOwn) {
  TempDir dir;
  const fs::path prefix = install(dir.path());
  const fs::path shipped = prefix / "share" / "launchwright";
  FakeRegistry registry;
  RecordingShell shell;
  FixedClock clock;
  ScriptedPrompter prompter;
  ScriptedFileChooser chooser;
  FakeStartupState startup;
  InstalledLocation ann((prefix / "bin" / "launchwright").string());
  InstalledLocation bob = ann;
  ann.laidOut = {shipped.string(), (dir.path() / "ann").string(), ""};
  bob.laidOut = {shipped.string(), (dir.path() / "bob" / "data" / "launchwright").string(), ""};
  const Platform annsPlatform{registry, shell, clock, ann, prompter, chooser, startup};
  const Platform bobsPlatform{registry, shell, clock, bob, prompter, chooser, startup};

  for (const auto *user : {&ann, &bob}) {
    // First start: the user's files are made from the templates, with no entries.
    const Platform &platform = user == &ann ? annsPlatform : bobsPlatform;
    EntryStore store(platform);
    store.readEntries();
    store.readBackupFile();
    EXPECT_TRUE(store.customLines.empty());
    for (const char *name : {"0013cst.ini", "0013bkp.ini"})
      EXPECT_EQ(readFile(fs::path(user->laidOut.user) / name), readFile(shipped / name)) << name;
    EXPECT_FALSE(fs::exists(fs::path(user->laidOut.user) / "config.ini"));
    store.addEntry(user == &ann ? "Ann's" : "Bob's", "true", "090000000000000x00200606301000");
  }

  EntryStore annsStore(annsPlatform);
  annsStore.readEntries();
  ASSERT_EQ(annsStore.customLines.size(), 4u);
  EXPECT_EQ(annsStore.customLines[0], "Ann's");
  EntryStore bobsStore(bobsPlatform);
  bobsStore.readEntries();
  ASSERT_EQ(bobsStore.customLines.size(), 4u);
  EXPECT_EQ(bobsStore.customLines[0], "Bob's");

  // A user's own config.ini wins over the shipped one, for that user only.
  writeFile(dir.path() / "bob" / "data" / "launchwright" / "config.ini", "Language\n[Deutsch]\n");
  EXPECT_EQ(Toolbox(bobsPlatform).configValue("Language"), "[Deutsch]");
  EXPECT_EQ(Toolbox(annsPlatform).configValue("Language"), "[English]");

  // The installation itself is never written.
  std::size_t shippedFiles = 0;
  for (const auto &entry : fs::recursive_directory_iterator(prefix / "share")) {
    if (!entry.is_regular_file())
      continue;
    ++shippedFiles;
    EXPECT_EQ(readFile(entry.path()), readFile(resourceDir() / entry.path().filename()))
        << entry.path();
  }
  EXPECT_EQ(shippedFiles, std::size(shippedNames));
}

} // namespace
} // namespace lw::test
