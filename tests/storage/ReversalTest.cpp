#include "StoreTesting.h"

#include "storage/Reversal.h"
#include "support/FileError.h"
#include "support/TextNumbers.h"

#include <functional>

namespace lw::test {
namespace {

constexpr auto machine = RegistryRoot::LocalMachine;
constexpr auto user = RegistryRoot::CurrentUser;
const std::string at = "Deleted or changed on 2006/6/1 at 8:0:";

class ReversalTest : public StoreTest {
protected:
  ReversalTest() : toolbox(program.platform), texts(program.platform) { texts.load(); }

  ReversalResult reverse() {
    return reverseStartupChanges(store, toolbox, promptedAnswers(program.prompter, texts));
  }
  std::string text(std::int32_t number) const { return texts.getText(number); }
  std::string questionFor(const std::string &header, const std::string &name,
                          const std::string &label, const std::string &command) const {
    return header + "\n\n" + name + "  (" + label + ")\n" + command + "\n\n" +
           text(text::restoreQuestion);
  }

  Toolbox toolbox;
  LanguageTable texts;
};

TEST_F(ReversalTest, OnlyRecordsAnsweredYesAreRestoredAndLeaveTheFile) {
  const std::string first = recordBytes(at, "One", "one.exe", "1");
  const std::string third = recordBytes(at, "Three", "three.exe", "0");
  setBackupFile(emptyBackupFile() + first + recordBytes(at, "Two", "two.exe -x", "1") + third);
  program.prompter.answer(false).answer(true).answer(false);

  const ReversalResult result = reverse();

  EXPECT_EQ(result.restored, 1);
  EXPECT_FALSE(result.customizedChanged);
  EXPECT_EQ(program.startup.get(user, "Two"), "two.exe -x");
  EXPECT_FALSE(program.startup.get(user, "One"));
  EXPECT_FALSE(program.startup.get(machine, "Three"));
  EXPECT_EQ(backupFile(), emptyBackupFile() + first + third);

  const auto &shown = program.prompter.shown;
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].text, questionFor(at, "One", text(text::currentUserLabel), "one.exe"));
  EXPECT_EQ(shown[1].text, questionFor(at, "Two", text(text::currentUserLabel), "two.exe -x"));
  EXPECT_EQ(shown[1].caption, "Kestrumsoft Launchwright");
  EXPECT_EQ(shown[2].text, text(text::restoredNotice));
  EXPECT_EQ(shown[2].caption, ""); // the application's default title
  EXPECT_FALSE(shown[2].question);
  EXPECT_EQ(shown[3].text, questionFor(at, "Three", text(text::allUsersLabel), "three.exe"));
}

TEST_F(ReversalTest, ConsecutiveRecordsAreAllOfferedAndRecordTheValuesTheyOverwrite) {
  program.startup.put(machine, "Both", "new version");
  setBackupFile(emptyBackupFile() + recordBytes(at, "Both", "old version", "0") +
                recordBytes(at, "Second", "second.exe", "1"));
  program.prompter.answer(true).answer(true);

  EXPECT_EQ(reverse().restored, 2);

  EXPECT_EQ(program.startup.get(machine, "Both"), "old version");
  EXPECT_EQ(program.startup.get(user, "Second"), "second.exe");
  EXPECT_EQ(backupFile(),
            emptyBackupFile() +
                recordBytes("Deleted or changed on 2006/6/30 at 9:5:", "Both", "new version", "0"));
}

TEST_F(ReversalTest, CustomizedRecordComesBackIntoTheEntriesFile) {
  store.customLines = block("Existing", "e");
  store.writeEntries();
  setBackupFile(emptyBackupFile() + recordBytes(at, "Backup job", "backup.sh --all", "2"));
  program.prompter.answer(true);

  const ReversalResult result = reverse();

  EXPECT_EQ(result.restored, 1);
  EXPECT_TRUE(result.customizedChanged);
  EXPECT_EQ(readBack(), concat({block("Existing", "e"), block("Backup job", "backup.sh --all",
                                                              "000000000000000x00200606300905")}));
  EXPECT_EQ(backupFile(), emptyBackupFile());
  EXPECT_EQ(program.registry.calls(), 0);
  EXPECT_EQ(program.prompter.shown[0].text,
            questionFor(at, "Backup job", text(text::customizedRestoreLabel), "backup.sh --all"));
}

TEST_F(ReversalTest, FailedRestoreKeepsTheRecordAndSaysSo) {
  program.startup.denyWrites(machine);
  const std::string system = recordBytes(at, "System", "sys.exe", "0");
  const std::string strange = recordBytes(at, "Odd", "odd.exe", "7");
  const std::string custom = recordBytes(at, "Job", "job", "2");
  setBackupFile(emptyBackupFile() + system + strange + custom);
  const std::string foreign = "not our file\r\n";
  setCustomFile(foreign);
  program.prompter.answer(true).answer(true).answer(true);

  const ReversalResult result = reverse();

  EXPECT_EQ(result.restored, 0);
  EXPECT_FALSE(result.customizedChanged);
  EXPECT_EQ(backupFile(), emptyBackupFile() + system + strange + custom);
  EXPECT_EQ(customFile(), foreign);
  const auto &shown = program.prompter.shown;
  ASSERT_EQ(shown.size(), 6u);
  EXPECT_EQ(shown[1].text, text(text::restoreFailed) + "\n\nSystem.entry");
  EXPECT_EQ(shown[2].text, questionFor(at, "Odd", "7", "odd.exe"));
  EXPECT_EQ(shown[3].text, text(text::restoreFailed));
  // The customized file's own trouble is named with it.
  EXPECT_TRUE(shown[5].text.starts_with(text(text::restoreFailed) + "\n\n"));
  EXPECT_NE(shown[5].text.find(program.file("0013cst.ini")), std::string::npos);
  for (const auto &one : shown)
    EXPECT_NE(one.text, text(text::restoredNotice));
}

TEST_F(ReversalTest, HandEditedRecordsAreNeverReadPastTheEnd) {
  // "Deleted or" inside a record starts a record when the walk reaches it; a record cut short
  // by the next header loses only its own lines; a header with no kind behind it is not offered.
  setBackupFile(emptyBackupFile() + at + "\r\nDeleted or moved\r\ncmd\r\n1\r\nedited\r\n" + at +
                "\r\nShort\r\nshort.exe\r\n1\r\n" + at + "\r\nNoKind\r\ncmd");
  program.prompter.answer(false).answer(false).answer(true);

  EXPECT_EQ(reverse().restored, 1);

  const auto &shown = program.prompter.shown;
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[1].text, questionFor("Deleted or moved", "cmd", "edited", "1"));
  EXPECT_EQ(program.startup.get(user, "Short"), "short.exe");
  EXPECT_EQ(backupFile(), emptyBackupFile() + at +
                              "\r\nDeleted or moved\r\ncmd\r\n1\r\nedited\r\n" + at +
                              "\r\nNoKind\r\ncmd\r\n");

  // A hand-edited fifth line goes with its record; the last record may lack its fifth line.
  setBackupFile(emptyBackupFile() + at + "\r\nX\r\nx\r\n1\r\nedited\r\n" + at + "\r\nY\r\ny\r\n0");
  program.prompter.answer(true).answer(true);
  EXPECT_EQ(reverse().restored, 2);
  EXPECT_EQ(program.startup.get(machine, "Y"), "y");
  EXPECT_EQ(backupFile(), emptyBackupFile());
}

TEST_F(ReversalTest, FileWithoutRecordsAsksNothingButIsRewritten) {
  setBackupFile("Kestrumsoft Launchwright - Backup File\n=\n\njust a note\n");
  EXPECT_EQ(reverse().restored, 0);
  EXPECT_TRUE(program.prompter.shown.empty());
  EXPECT_EQ(backupFile(), emptyBackupFile() + "just a note\r\n");
}

TEST_F(ReversalTest, UnrecognisedOrMissingFileStopsTheCommandUntouched) {
  const std::string foreign =
      "Kestrumsoft Launchwright - Backup\r\n" + recordBytes(at, "A", "a", "1");
  setBackupFile(foreign);
  try {
    reverse();
    ADD_FAILURE() << "no error";
  } catch (const FileError &error) {
    EXPECT_EQ(error.path(), program.file("0013bkp.ini"));
    EXPECT_EQ(error.reason(), unrecognisedContentReason);
  }
  EXPECT_EQ(backupFile(), foreign);

  std::filesystem::remove(program.file("0013bkp.ini"));
  EXPECT_THROW(reverse(), FileError);
  EXPECT_FALSE(std::filesystem::exists(program.file("0013bkp.ini")));
  EXPECT_TRUE(program.prompter.shown.empty());
}

// A prompter that lets another "instance" act while a question is open.
class MeddlingPrompter : public Prompter {
public:
  bool ask(const std::string &, const std::string &) override {
    if (meddle)
      std::exchange(meddle, nullptr)();
    return true;
  }
  void tell(const std::string &, const std::string &) override {}
  std::function<void()> meddle;
};

TEST_F(ReversalTest, RecordsWrittenByAnotherInstanceDuringTheWalkSurvive) {
  MeddlingPrompter prompter;
  Platform platform{program.registry, program.shell,   program.clock,  program.location,
                    prompter,         program.chooser, program.startup};
  EntryStore walker(platform);
  Toolbox mainToolbox(platform);
  setBackupFile(emptyBackupFile() + recordBytes(at, "Mine", "mine.exe", "1"));
  prompter.meddle = [&] {
    EntryStore other(platform);
    program.startup.put(user, "Theirs", "theirs.exe");
    other.removeWithBackup(EntryKind::CurrentUser, "Theirs", "theirs.exe");
  };

  EXPECT_EQ(reverseStartupChanges(walker, mainToolbox, promptedAnswers(prompter, texts)).restored,
            1);

  EXPECT_EQ(backupFile(), emptyBackupFile() + recordBytes("Deleted or changed on 2006/6/30 at 9:5:",
                                                          "Theirs", "theirs.exe", "1"));
  EXPECT_EQ(program.startup.get(user, "Mine"), "mine.exe");
}

} // namespace
} // namespace lw::test
