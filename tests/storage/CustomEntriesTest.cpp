#include "StoreTesting.h"

#include "support/FileError.h"

namespace lw::test {
namespace {

using Lines = std::vector<std::string>;

TEST_F(StoreTest, WrittenFilesHaveTheExactLayout) {
  store.writeEntries();
  EXPECT_EQ(customFile(), emptyCustomFile());

  store.customLines =
      block("Notepad", "C:\\WINDOWS\\notepad.exe", "090000000000000200200606261953");
  store.writeEntries();
  EXPECT_EQ(customFile(), emptyCustomFile() + "Notepad\r\nC:\\WINDOWS\\notepad.exe\r\n"
                                              "090000000000000200200606261953\r\n=====");
  EXPECT_EQ(readBack(),
            block("Notepad", "C:\\WINDOWS\\notepad.exe", "090000000000000200200606261953"));

  // The separator of the last complete block is always written as "=====".
  store.customLines = {"a", "b", "c", "not a separator"};
  store.writeEntries();
  EXPECT_TRUE(customFile().ends_with("c\r\n====="));
}

TEST_F(StoreTest, LineEndsAndAMissingLastLineEndReadAlike) {
  const Lines expected = concat({block("a", "x"), block("b", "y")});
  const std::string body = "a\nx\n050030000000000x00200606300905\n=====\nb\ny\n"
                           "050030000000000x00200606300905\n=====";
  const std::string header =
      "Kestrumsoft Launchwright - Customized Entries\n" + std::string(46, '=') + "\n\n";
  for (const std::string &bytes :
       {header + body, header + body + "\n",
        emptyCustomFile() + "a\r\nx\r\n050030000000000x00200606300905\r\n=====\r\n"
                            "b\r\ny\r\n050030000000000x00200606300905\r\n=====\r\n"}) {
    setCustomFile(bytes);
    EXPECT_EQ(readBack(), expected) << bytes;
  }
  // An extra empty line is one more line, and survives a rewrite.
  setCustomFile(header + body + "\n\n");
  store.readEntries();
  EXPECT_EQ(store.customLines.size(), 9u);
  store.writeEntries();
  EXPECT_EQ(readBack().size(), 9u);
}

TEST_F(StoreTest, OnlyTheExactHeaderIsRecognised) {
  const std::string body = "a\r\nx\r\n050030000000000x00200606300905\r\n=====";
  setCustomFile("kestrumsoft launchwright - customized entries\r\n===\r\n\r\n" + body);
  EXPECT_TRUE(readBack().empty());
  setCustomFile("Kestrumsoft Launchwright - Customized Entries \r\n===\r\n\r\n" + body);
  EXPECT_TRUE(readBack().empty());

  // Lines 2 and 3 are skipped whatever they hold; a byte-order mark before the header is fine.
  setCustomFile("\xEF\xBB\xBFKestrumsoft Launchwright - Customized Entries\r\nhand\r\nedit\r\n" +
                body);
  EXPECT_EQ(readBack(), block("a", "x"));

  // An empty file holds nothing and may be written.
  setCustomFile("");
  EXPECT_TRUE(readBack().empty());
  store.addEntry("n", "c", "s");
  EXPECT_EQ(customFile(), emptyCustomFile() + "n\r\nc\r\ns\r\n=====");
}

TEST_F(StoreTest, UnrecognisedFileIsLeftUnchangedAndNamed) {
  const std::string foreign = "My own notes\r\nplease keep\r\n";
  setCustomFile(foreign);
  EXPECT_TRUE(readBack().empty());

  auto expectRefused = [&](auto operation) {
    try {
      operation();
      ADD_FAILURE() << "the file was written over";
    } catch (const FileError &error) {
      EXPECT_EQ(error.path(), program.file("0013cst.ini"));
      EXPECT_EQ(error.reason(), unrecognisedContentReason);
    }
    EXPECT_EQ(customFile(), foreign);
  };
  expectRefused([&] { store.addEntry("n", "c", "s"); });
  expectRefused([&] { store.removeEntry("n"); });
  expectRefused([&] {
    store.customLines = block("n", "c");
    store.writeEntries();
  });
}

TEST_F(StoreTest, MissingFileIsAFileError) {
  std::filesystem::remove(program.file("0013cst.ini"));
  store.customLines = {"stale"};
  EXPECT_THROW(store.readEntries(), FileError);
  EXPECT_TRUE(store.customLines.empty());
  EXPECT_THROW(store.addEntry("n", "c", "s"), FileError);
  EXPECT_FALSE(std::filesystem::exists(program.file("0013cst.ini")));
}

TEST_F(StoreTest, TrailingIncompleteBlockIsShownKeptAndNeverABlock) {
  const std::string edited = emptyCustomFile() +
                             "a\r\nx\r\n050030000000000x00200606300905\r\n=====\r\n"
                             "half\r\nmy command";
  setCustomFile(edited);
  store.readEntries();
  ASSERT_EQ(store.customLines.size(), 6u);
  EXPECT_EQ(completeBlockLines(store.customLines), 4u);
  const auto entries = entriesOf(store.customLines);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_TRUE(entries[0].complete);
  EXPECT_EQ(entries[1].name, "half");
  EXPECT_EQ(entries[1].command, "my command");
  EXPECT_EQ(entries[1].scheduleLine, "");
  EXPECT_FALSE(entries[1].complete);

  // Written back, the user's last line is not turned into a separator.
  store.writeEntries();
  EXPECT_EQ(customFile(), edited);

  // A new entry lands on a block boundary, in front of the incomplete block.
  store.addEntry("new", "cmd", "sched");
  EXPECT_EQ(readBack(),
            concat({block("a", "x"), {"new", "cmd", "sched", "====="}, {"half", "my command"}}));

  // The list shows it, so a user can delete it by that name.
  store.removeEntry("half");
  EXPECT_EQ(readBack(), concat({block("a", "x"), {"new", "cmd", "sched", "====="}}));

  // One to three lines alone are kept too.
  setCustomFile(emptyCustomFile() + "lonely");
  store.readEntries();
  EXPECT_EQ(completeBlockLines(store.customLines), 0u);
  store.writeEntries();
  EXPECT_EQ(readBack(), Lines{"lonely"});
}

TEST_F(StoreTest, RemoveMatchesWholeNameLinesOnly) {
  store.customLines = concat({block("Editor", "Mail"), block("Mail", "mail.exe"),
                              block("mail", "other"), block("Mail", "again")});
  store.writeEntries();

  store.removeEntry("Mail");
  EXPECT_EQ(readBack(), concat({block("Editor", "Mail"), block("mail", "other")}));

  store.removeEntry("absent");
  EXPECT_EQ(readBack(), concat({block("Editor", "Mail"), block("mail", "other")}));

  store.removeEntry("Editor");
  store.removeEntry("mail");
  EXPECT_EQ(customFile(), emptyCustomFile());
}

TEST_F(StoreTest, LineBreaksAreNeverWritten) {
  store.addEntry("keep", "c", "s");
  const std::string before = customFile();
  for (const auto &[name, command] : {std::pair<std::string, std::string>{"two\nlines", "c"},
                                      {"name", "cmd\r\n--flag"},
                                      {"name", "cmd\rx"}}) {
    try {
      store.addEntry(name, command, "s");
      ADD_FAILURE() << "written: " << name << " / " << command;
    } catch (const FileError &error) {
      EXPECT_EQ(error.reason(), lineBreakReason);
    }
  }
  EXPECT_THROW(store.addEntry("n", "c", "sched\nule"), FileError);

  store.customLines = concat({block("keep", "c", "s"), block("x\ny", "c")});
  EXPECT_THROW(store.writeEntries(), FileError);
  EXPECT_EQ(customFile(), before);

  EXPECT_TRUE(containsLineBreak("a\rb"));
  EXPECT_FALSE(containsLineBreak("C:\\Program Files\\x.exe -a"));
}

} // namespace
} // namespace lw::test
