// An edit in the entry dialog changes only what the user changed: the entry keeps its place,
// whether it is switched off, and the backup record of the old entry comes first.

#include "EditingFixture.h"

#include "storage/DisabledEntries.h"
#include "support/TextNumbers.h"

namespace lw::test {
namespace {

using Lines = std::vector<std::string>;

class EntryEditInPlaceTest : public EditingTest {
protected:
  void confirmEdit(EntryDialog &dialog, const std::string &name, const std::string &command) {
    type(&dialog, "nameEdit", QString::fromStdString(name));
    type(&dialog, "commandEdit", QString::fromStdString(command));
    program.prompter.answer(true);
    click(&dialog, "okButton");
  }
};

TEST_F(EntryEditInPlaceTest, SwitchedOffEntryStaysOffWhenRenamedOrGivenAnotherCommand) {
  struct Case {
    int kind;
    std::string name;
    std::string command;
  };
  const std::vector<Case> cases = {{0, "Agent", "/usr/bin/agent"},
                                   {1, "Chat 2", "/usr/bin/chat"},
                                   {1, "Chat", "/usr/bin/chat --quiet"},
                                   {1, "Chat 3", "/usr/bin/chat --tray"},
                                   {2, "Backup 2", "/usr/bin/backup"}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name + " " + c.command);
    const RegistryRoot root = c.kind == 0 ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
    const std::string oldName = c.kind == 0 ? "Agent" : c.kind == 1 ? "Chat" : "Backup";
    const std::string oldCommand = "/usr/bin/" + std::string(c.kind == 0   ? "agent --old"
                                                             : c.kind == 1 ? "chat"
                                                                           : "backup");
    setBackupLines({});
    if (c.kind == 2) {
      setCustomLines({oldName, oldCommand, "090000000000000100200606300905", "====="});
      setCustomizedDisabled(program.registry, oldName, false);
      setCustomizedDisabled(program.registry, oldName, true);
    } else {
      setRunValue(root, oldName, oldCommand);
      program.startup.disabled = {{root, oldName}};
    }
    program.startup.writes = program.startup.removals = program.startup.renames = 0;

    auto dialog = openDialog(static_cast<EntryKind>(c.kind), oldName, oldCommand,
                             c.kind == 2 ? "090000000000000100200606300905" : "");
    confirmEdit(*dialog, c.name, c.command);

    EXPECT_EQ(shownTexts().back(), text(text::changedNotice));
    const Lines backup = backupLines();
    ASSERT_GE(backup.size(), 4u);
    EXPECT_EQ((Lines{backup[1], backup[2], backup[3]}),
              (Lines{oldName, oldCommand, std::to_string(c.kind)}));
    if (c.kind == 2) {
      EXPECT_TRUE(isCustomizedDisabled(program.registry, c.name));
      EXPECT_FALSE(isCustomizedDisabled(program.registry, oldName));
      EXPECT_EQ(customLines().at(0), c.name);
      continue;
    }
    EXPECT_EQ(runValue(root, c.name), c.command);
    if (c.name != oldName) {
      EXPECT_FALSE(runValue(root, oldName));
    }
    EXPECT_EQ(program.startup.disabled,
              (std::set<std::pair<RegistryRoot, std::string>>{{root, c.name}}));
    // Nothing is deleted and written afresh: a rename moves, a new command is one write.
    EXPECT_EQ(program.startup.renames, c.name != oldName ? 1 : 0);
    EXPECT_EQ(program.startup.writes, c.command != oldCommand ? 1 : 0);
    EXPECT_EQ(program.startup.removals, 0);
    program.prompter.shown.clear();
  }
}

TEST_F(EntryEditInPlaceTest, RenameOntoATakenNameIsRefusedAndKeepsBothEntries) {
  setRunValue(RegistryRoot::CurrentUser, "Chat", "/usr/bin/chat");
  setRunValue(RegistryRoot::CurrentUser, "Mail", "/usr/bin/mail");
  auto dialog = openDialog(EntryKind::CurrentUser, "Chat", "/usr/bin/chat");
  // Taken in other capitals is taken: asked nothing, told why, and the dialog stays open.
  type(dialog.get(), "nameEdit", "MAIL");
  click(dialog.get(), "okButton");
  EXPECT_EQ(shownTexts(), std::vector{text(text::nameUsedRefused)});
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Chat"), "/usr/bin/chat");
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Mail"), "/usr/bin/mail");
  EXPECT_TRUE(backupLines().empty());
}

} // namespace
} // namespace lw::test
