// The main window's entry commands on a host whose rows are the core's listing of the stores,
// as the main window's are.

#include "EditingFixture.h"

#include "editing/WindowCommands.h"
#include "entries/StartupList.h"
#include "scheduler/Launcher.h"
#include "scheduler/ScheduleStatus.h"
#include "storage/EntryFormat.h"
#include "support/FileError.h"
#include "support/TextNumbers.h"

#include <QLineEdit>
#include <QRadioButton>
#include <filesystem>
#include <tuple>

namespace lw::test {
namespace {

using Lines = std::vector<std::string>;
using Row = std::tuple<std::string, std::string, std::string>;

class ListHost : public EntryCommandHost {
public:
  explicit ListHost(const Platform &system) : platform(system), texts(system), toolbox(system) {
    texts.load();
    rebuild();
  }

  std::optional<StartupEntry> selectedEntry() const override {
    if (mark < 0)
      return std::nullopt;
    return entries[static_cast<std::size_t>(mark)];
  }
  void setReloadPending() override {
    reloadPending = true;
    if (launcher)
      launcher->reloadPending = true;
  }
  void refreshList() override {
    ++refreshes;
    rebuild();
  }
  void refreshSelecting(const StartupEntry &entry) override {
    refreshList();
    for (std::size_t row = 0; row < entries.size(); ++row)
      if (sameEntry(entries[row], entry))
        mark = static_cast<int>(row);
  }
  const LanguageTable &commandTexts() const override { return texts; }
  Toolbox &commandToolbox() override { return toolbox; }
  const Platform &commandPlatform() const override { return platform; }
  std::string_view commandStarterFile() const override { return "rwlaunch"; }

  void select(int row) { mark = row; }
  std::vector<Row> rows() const {
    std::vector<Row> shown;
    for (const auto &entry : entries)
      shown.emplace_back(entry.name, kindLabel(entry.kind, texts), entry.command);
    return shown;
  }

  const Platform &platform;
  LanguageTable texts;
  Toolbox toolbox;
  bool reloadPending = false;
  int refreshes = 0;
  Launcher *launcher = nullptr; // the timer's side, when a test runs one

private:
  void rebuild() {
    mark = -1;
    entries = readStartupList(platform, toolbox, texts).rows;
  }
  std::vector<StartupEntry> entries;
  int mark = -1;
};

// Runs the timer's tick while a notice is open, as the main window's timer does inside the
// notice's modal loop.
class TickingPrompter : public ScriptedPrompter {
public:
  void tell(const std::string &text, const std::string &caption) override {
    ScriptedPrompter::tell(text, caption);
    if (duringNotice)
      duringNotice();
  }
  std::function<void()> duringNotice;
};

class EntryCommandsTest : public EditingTest {
protected:
  void SetUp() override {
    setCustomLines({"Sync", "sync.sh", "050030000000000x00200601011200", "=====", "Other", "Sync",
                    "Sync", "=====", "Sync", "sync-late.sh", "060000000200000x00200602021400",
                    "====="});
    setRunValue(RegistryRoot::CurrentUser, "Notes", "notes --tray");
    setRunValue(RegistryRoot::LocalMachine, "Agent", "/opt/agent");
  }
  ListHost &host() {
    if (!listHost)
      listHost = std::make_unique<ListHost>(program.platform);
    return *listHost;
  }
  int rowOf(const std::string &name, const std::string &label) {
    const auto rows = host().rows();
    for (std::size_t row = 0; row < rows.size(); ++row)
      if (std::get<0>(rows[row]) == name && std::get<1>(rows[row]) == label)
        return static_cast<int>(row);
    ADD_FAILURE() << "no row " << name;
    return -1;
  }
  void select(const std::string &name, std::int32_t label) {
    host().select(rowOf(name, text(label)));
  }
  Lines record(const std::string &name, const std::string &command, const std::string &kind) {
    return {"Deleted or changed on 2006/6/30 at 9:5:", name, command, kind, ""};
  }

private:
  std::unique_ptr<ListHost> listHost;
};

TEST_F(EntryCommandsTest, EditAndDeleteWithoutASelectionOnlyTellTheUser) {
  onEditEntry(host());
  onDeleteSelectedEntry(host());
  ASSERT_EQ(program.prompter.shown.size(), 2u);
  EXPECT_EQ(program.prompter.shown[0].text, text(text::noSelectionToEdit));
  EXPECT_EQ(program.prompter.shown[1].text, text(text::noSelectionToDelete));
  for (const auto &shown : program.prompter.shown) {
    EXPECT_FALSE(shown.question);
    EXPECT_EQ(shown.caption, "Kestrumsoft Launchwright");
  }
  EXPECT_EQ(host().refreshes, 0);
  EXPECT_FALSE(host().reloadPending);
}

TEST_F(EntryCommandsTest, EditHandsTheDialogTheRowAndTheLastMatchingStoredSchedule) {
  select("Sync", text::customizedLabel);
  std::optional<std::tuple<EntryKind, std::string, std::string, std::string, bool>> seen;
  whenModal([&](QDialog *shown) {
    auto *dialog = qobject_cast<EntryDialog *>(shown);
    ASSERT_NE(dialog, nullptr);
    const EntryValues &values = dialog->values();
    seen = {values.kind, values.name, values.command, values.schedule,
            child<QRadioButton>(dialog, "everyHoursRadio")->isChecked()};
    EXPECT_EQ(fieldText(dialog, "hoursEdit"), "2");
    click(dialog, "cancelButton");
  });
  onEditEntry(host());
  ASSERT_TRUE(seen);
  EXPECT_EQ(*seen,
            std::make_tuple(EntryKind::Customized, std::string("Sync"), std::string("sync.sh"),
                            std::string("060000000200000x00200602021400"), true))
      << "a block whose command or schedule line reads Sync is no match";
  EXPECT_EQ(host().refreshes, 1);
  EXPECT_FALSE(host().reloadPending);

  // The block vanished from the file after the list was built.
  setCustomLines({});
  select("Other", text::customizedLabel);
  whenModal([&](QDialog *shown) {
    auto *dialog = qobject_cast<EntryDialog *>(shown);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->values().schedule, "");
    EXPECT_TRUE(child<QRadioButton>(dialog, "onceADayRadio")->isChecked());
  });
  onEditEntry(host());
  EXPECT_EQ(host().refreshes, 2);
}

TEST_F(EntryCommandsTest, EditCancelledAfterAKindClickStillHasTheTimerReload) {
  select("Notes", text::currentUserLabel);
  whenModal([&](QDialog *dialog) {
    click(dialog, "currentUserRadio");
    click(dialog, "cancelButton");
  });
  onEditEntry(host());
  EXPECT_TRUE(host().reloadPending);
  EXPECT_EQ(host().refreshes, 1);
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Notes"), "notes --tray");
  EXPECT_TRUE(program.prompter.shown.empty());
}

TEST_F(EntryCommandsTest, EditSavedInTheDialogShowsInTheRebuiltList) {
  select("Agent", text::allUsersLabel);
  program.prompter.answer(true);
  whenModal([&](QDialog *dialog) {
    type(dialog, "commandEdit", "/opt/agent --quiet");
    click(dialog, "okButton");
  });
  onEditEntry(host());
  EXPECT_TRUE(host().reloadPending);
  EXPECT_EQ(host().rows().back(), Row("Agent", text(text::allUsersLabel), "/opt/agent --quiet"));
  EXPECT_EQ(backupLines(), record("Agent", "/opt/agent", "0"));
}

TEST_F(EntryCommandsTest, AddPreselectsCurrentUserAndTheNewEntryNameWithoutASelection) {
  whenModal([&](QDialog *dialog) {
    EXPECT_TRUE(child<QRadioButton>(dialog, "currentUserRadio")->isChecked());
    EXPECT_EQ(fieldText(dialog, "nameEdit"), text(text::newEntryName));
    EXPECT_EQ(fieldText(dialog, "commandEdit"), "");
    click(dialog, "cancelButton");
  });
  onAddEntry(host());
  EXPECT_TRUE(host().reloadPending) << "a new entry counts as changed from the start";
  EXPECT_EQ(host().refreshes, 1);
  EXPECT_TRUE(program.prompter.shown.empty());
}

TEST_F(EntryCommandsTest, DeleteAnsweredNoChangesNothingButRebuildsTheList) {
  select("Agent", text::allUsersLabel);
  const auto before = host().rows();
  program.prompter.answer(false);
  onDeleteSelectedEntry(host());
  EXPECT_EQ(shownTexts(), Lines{fillIn(text(text::deleteQuestion), {"Agent"})});
  EXPECT_EQ(host().rows(), before);
  EXPECT_TRUE(backupLines().empty());
  EXPECT_EQ(host().refreshes, 1);
  EXPECT_TRUE(host().reloadPending);
}

TEST_F(EntryCommandsTest, DeleteRemovesTheEntryFromTheStoreOfItsKind) {
  for (auto [name, label] :
       {std::pair{"Agent", text::allUsersLabel}, std::pair{"Notes", text::currentUserLabel},
        std::pair{"Sync", text::customizedLabel}}) {
    select(name, label);
    program.prompter.answer(true);
    onDeleteSelectedEntry(host());
  }
  EXPECT_FALSE(runValue(RegistryRoot::LocalMachine, "Agent"));
  EXPECT_FALSE(runValue(RegistryRoot::CurrentUser, "Notes"));
  EXPECT_EQ(customLines(), (Lines{"Other", "Sync", "Sync", "====="}))
      << "every block of the name goes";
  // The host rebuilds its rows without minding the starter: its entry is the delete's own doing.
  const Row starter{"Launchwright", text(text::currentUserLabel), program.file("rwlaunch")};
  EXPECT_EQ(host().rows(),
            (std::vector<Row>{{"Other", text(text::customizedLabel), "Sync"}, starter}));
  Lines expected = record("Agent", "/opt/agent", "0");
  for (const Lines &more : {record("Notes", "notes --tray", "1"), record("Sync", "sync.sh", "2")})
    expected.insert(expected.end(), more.begin(), more.end());
  EXPECT_EQ(backupLines(), expected);
  EXPECT_EQ(host().refreshes, 3);

  select("Other", text::customizedLabel);
  program.prompter.answer(true);
  onDeleteSelectedEntry(host());
  EXPECT_TRUE(host().rows().empty()) << "the starter goes with the last customized entry";
}

// What is restored is the reversal's own (tests/storage); the window refreshes once, and has the
// timer reload only when customized entries came back.
TEST_F(EntryCommandsTest, ReversalRefreshesTheListAndReloadsTheTimerOnlyForCustomizedEntries) {
  setBackupLines(record("Second", "second", "1"));
  program.prompter.answer(true);
  onReverseStartupChanges(host());
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Second"), "second");
  EXPECT_GE(rowOf("Second", text(text::currentUserLabel)), 0);
  EXPECT_EQ(host().refreshes, 1);
  EXPECT_FALSE(host().reloadPending);

  setBackupLines(record("Gone", "gone.sh", "2"));
  program.prompter.answer(true);
  onReverseStartupChanges(host());
  EXPECT_EQ(customLines().at(12), "Gone");
  EXPECT_TRUE(host().reloadPending);
  EXPECT_EQ(host().refreshes, 2);
}

TEST_F(EntryCommandsTest, ReversalOfAnEmptyBackupSaysThereIsNothingToRestore) {
  setBackupLines({});
  onReverseStartupChanges(host());
  EXPECT_EQ(shownTexts(), Lines{text(text::nothingToRestore)});
  EXPECT_EQ(host().refreshes, 1);
}

TEST_F(EntryCommandsTest, ReversalTakesADeletedOrNameInsideARecordForARecord) {
  const Lines records = record("Deleted or renamed", "tool", "1");
  setBackupLines(records);
  program.prompter.answer(false).answer(false);
  onReverseStartupChanges(host());
  EXPECT_EQ(program.prompter.shown.size(), 2u) << "the name line is offered as a record too";
  EXPECT_EQ(backupLines(), records);
  EXPECT_EQ(host().refreshes, 1);
}

TEST_F(EntryCommandsTest, ATimerTickDuringTheNoticeUndoesNoSaveAndNoDeletion) {
  setCustomLines({"Pulse", "pulse.sh", "050001000000000x00200606300903", "====="});
  TickingPrompter prompter;
  const Platform platform{program.registry, program.shell,   program.clock,  program.location,
                          prompter,         program.chooser, program.startup};
  Launcher launcher(platform, {});
  launcher.reloadPending = true;
  program.clock.set(2006, 6, 30, 9, 4);
  launcher.tick();
  ListHost ticking(platform);
  ticking.launcher = &launcher;
  prompter.duringNotice = [&] { launcher.tick(); };

  program.clock.set(2006, 6, 30, 9, 5);
  prompter.answer(true);
  whenModal([&](QDialog *dialog) {
    click(dialog, "customizedRadio");
    type(dialog, "nameEdit", "Fresh");
    type(dialog, "commandEdit", "fresh.sh");
    click(dialog, "okButton");
  });
  onAddEntry(ticking);
  EXPECT_EQ(program.shell.opened, (Lines{"pulse.sh", "pulse.sh"})) << "Pulse was due again";
  const Lines afterAdd = customLines();
  ASSERT_EQ(afterAdd.size(), 8u);
  EXPECT_EQ(afterAdd[4], "Fresh");

  program.clock.set(2006, 6, 30, 9, 6);
  ticking.select(rowOf("Fresh", text(text::customizedLabel)));
  prompter.answer(true);
  whenModal([&](QDialog *dialog) {
    click(dialog, "currentUserRadio");
    click(dialog, "okButton");
  });
  onEditEntry(ticking);
  EXPECT_EQ(program.shell.opened.size(), 3u);
  EXPECT_EQ(customLines().size(), 4u) << "the moved entry is not written back";
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Fresh"), "fresh.sh");

  program.clock.set(2006, 6, 30, 9, 7);
  launcher.tick();
  ASSERT_FALSE(launcher.reloadPending);
  program.clock.set(2006, 6, 30, 9, 8);
  ticking.select(rowOf("Pulse", text(text::customizedLabel)));
  prompter.answer(true);
  onDeleteSelectedEntry(ticking);
  EXPECT_EQ(prompter.shown.back().text, text(text::deletedNotice));
  EXPECT_EQ(program.shell.opened.size(), 4u) << "a deleted entry is not started again";
  EXPECT_TRUE(customLines().empty()) << "nor written back";
}

TEST_F(EntryCommandsTest, AFileThatCannotBeReadEndsTheCommandBeforeTheRebuild) {
  select("Sync", text::customizedLabel);
  std::filesystem::remove(program.file("0013cst.ini"));
  EXPECT_THROW(onEditEntry(host()), FileError);
  EXPECT_EQ(host().refreshes, 0);

  std::filesystem::remove(program.file("0013trl.ini"));
  EXPECT_THROW(onAddEntry(host()), FileError);
  EXPECT_EQ(host().refreshes, 0);
}

} // namespace
} // namespace lw::test
