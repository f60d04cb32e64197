// An edit through the entry dialog of a user's autostart file that carries far more than a
// name and a command, on the real autostart folders of a temporary XDG configuration: every
// line the user did not change survives.

#include "AutostartCorpus.h"
#include "EditingFixture.h"

#include "app/MainDialog.h"
#include "app/Tray.h"
#include "native/Native.h"
#include "native/linux/RegistryStore.h"
#include "native/linux/XdgLocations.h"
#include "storage/DisabledEntries.h"
#include "support/TextNumbers.h"

#include <QLineEdit>
#include <QTreeView>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const Lines richFile = {"# written by hand; keep this comment",
                        "[Desktop Entry]",
                        "Type=Application",
                        "Name=Clipboard Keeper",
                        "Name[de]=Zwischenablage",
                        "Comment=Keeps what you copy",
                        "Icon=edit-paste",
                        "Exec=/usr/bin/true --clipboard",
                        "Path=/tmp",
                        "Terminal=false",
                        "OnlyShowIn=GNOME;KDE;",
                        "X-GNOME-Autostart-Delay=5",
                        "Actions=Clear;",
                        "",
                        "[Desktop Action Clear]",
                        "Name=Clear history",
                        "Exec=/usr/bin/true --clear"};

class DesktopFileEditTest : public EditingTest {
protected:
  DesktopFileEditTest() {
    // The platform's own startup state finds the folders the way the program does.
    setenv("HOME", program.dir.str().c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (program.dir.path() / "xdg").c_str(), 1);
    setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
    registry = std::make_unique<RegistryStore>(xdgLocations(&std::getenv).storeFile);
    startup = makeNativeStartupState();
    platform = std::make_unique<Platform>(Platform{*registry, program.shell, program.clock,
                                                   program.location, program.prompter,
                                                   program.chooser, *startup});
    fs::create_directories(autostart);
    std::ofstream out(autostart / "clipboard.desktop", std::ios::binary);
    for (const auto &line : richFile)
      out << line << '\n';
  }

  static Lines linesOf(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    Lines lines;
    for (std::string line; std::getline(in, line);)
      lines.push_back(line);
    return lines;
  }

  void edit(const std::string &name, const std::string &command,
            const std::string &from = "clipboard") {
    auto dialog =
        openDialogOn(*platform, EntryKind::CurrentUser, from, "/usr/bin/true --clipboard");
    type(dialog.get(), "nameEdit", QString::fromStdString(name));
    type(dialog.get(), "commandEdit", QString::fromStdString(command));
    program.prompter.answer(true);
    click(dialog.get(), "okButton");
    EXPECT_EQ(shownTexts().back(), text(text::changedNotice));
  }

  // The rich file with its main Exec line replaced.
  static Lines expected(const std::string &exec) {
    Lines lines = richFile;
    lines[7] = "Exec=" + exec;
    return lines;
  }

  fs::path config = program.dir.path() / "config";
  fs::path autostart = config / "autostart";
  std::unique_ptr<RegistryStore> registry;
  std::unique_ptr<StartupState> startup;
  std::unique_ptr<Platform> platform;
};

TEST_F(DesktopFileEditTest, NewCommandRewritesOnlyTheExecLine) {
  edit("clipboard", "/usr/bin/true --keep");
  EXPECT_EQ(linesOf(autostart / "clipboard.desktop"), expected("/usr/bin/true --keep"));
  EXPECT_EQ(backupLines().at(1), "clipboard");
  EXPECT_EQ(backupLines().at(2), "/usr/bin/true --clipboard");
}

TEST_F(DesktopFileEditTest, RenameMovesTheFileWithEveryLine) {
  edit("clipboard-keeper", "/usr/bin/true --clipboard");
  EXPECT_FALSE(fs::exists(autostart / "clipboard.desktop"));
  EXPECT_EQ(linesOf(autostart / "clipboard-keeper.desktop"), richFile);
  // Its own name in other capitals is no other entry's name.
  edit("Clipboard-Keeper", "/usr/bin/true --clipboard", "clipboard-keeper");
  EXPECT_FALSE(fs::exists(autostart / "clipboard-keeper.desktop"));
  EXPECT_EQ(linesOf(autostart / "Clipboard-Keeper.desktop"), richFile);
}

TEST_F(DesktopFileEditTest, NewEntryNamedLikeAnotherButForCapitalsIsRefusedAndTheDialogStaysOpen) {
  const auto before = fileBytes(autostart / "clipboard.desktop");
  auto dialog = openDialogOn(*platform, EntryKind::CurrentUser, text(text::newEntryName), "");
  type(dialog.get(), "nameEdit", "CLIPBOARD");
  type(dialog.get(), "commandEdit", "/bin/true");
  click(dialog.get(), "okButton");
  EXPECT_EQ(shownTexts(), Lines{text(text::nameUsedRefused)});
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(fs::directory_iterator(autostart)->path().filename(), "clipboard.desktop");
  EXPECT_EQ(fileBytes(autostart / "clipboard.desktop"), before);
  EXPECT_TRUE(backupLines().empty());
}

TEST_F(DesktopFileEditTest, NameThatCannotBeAFileNameIsRefusedBeforeAsking) {
  const auto longest = static_cast<std::size_t>(::pathconf(autostart.c_str(), _PC_NAME_MAX));
  const struct {
    std::string name;
    std::string command;
    std::int32_t refusal;
  } cases[] = {
      {"../clipboard", "/bin/true", text::badNameRefused},
      {std::string(longest - 7, 'n'), "/bin/true", text::nameTooLongRefused},
  };
  const auto before = fileBytes(autostart / "clipboard.desktop");
  for (const auto &c : cases) {
    auto dialog = openDialogOn(*platform, EntryKind::CurrentUser, text(text::newEntryName), "");
    type(dialog.get(), "nameEdit", QString::fromStdString(c.name));
    type(dialog.get(), "commandEdit", QString::fromStdString(c.command));
    click(dialog.get(), "okButton");
    EXPECT_EQ(shownTexts().back(), text(c.refusal)) << c.name.substr(0, 20);
    EXPECT_TRUE(dialog->isVisible());
  }
  EXPECT_EQ(shownTexts().size(), std::size(cases)) << "nothing was asked";
  EXPECT_EQ(std::distance(fs::directory_iterator(autostart), fs::directory_iterator()), 1);
  EXPECT_EQ(fileBytes(autostart / "clipboard.desktop"), before);
  // A name its file already has is kept by an edit, even one a new entry could not take.
  fs::rename(autostart / "clipboard.desktop", autostart / " .desktop");
  edit(" ", "/usr/bin/true --blank", " ");
  EXPECT_EQ(linesOf(autostart / " .desktop"), expected("/usr/bin/true --blank"));
}

class NoTray : public Tray {
public:
  bool available() const override { return false; }
  bool add() override { return false; }
  void remove() override {}
  bool isShown() const override { return false; }
  void showMessage(const std::string &, const std::string &) override {}
};

// Deletes the row of that kind and name through the window, then answers Yes to Reverse
// Startup Changes' one question.
void deleteAndReverse(MainDialog &window, ScriptedPrompter &prompter, EntryKind kind,
                      const std::string &name) {
  const auto &rows = window.listModel->rows();
  for (std::size_t row = 0; row < rows.size(); ++row)
    if (rows[row].name == name && rows[row].kind == kind)
      window.entryList->setCurrentIndex(window.listModel->index(static_cast<int>(row), 0));
  ASSERT_TRUE(window.selectedEntry() && window.selectedEntry()->name == name);
  prompter.answer(true);
  window.dispatch(&MainDialog::OnDeleteSelectedEntry);
  prompter.answer(true);
  window.dispatch(&MainDialog::OnReverseStartupChanges);
}

TEST_F(DesktopFileEditTest, ReverseStartupChangesGivesBackTheDeletedBytes) {
  NoTray tray;
  MainDialog window(*platform, tray);
  window.OnInitDialog();
  const fs::path machine = program.dir.path() / "xdg" / "autostart";
  for (const auto &entry : autostartCorpus()) {
    SCOPED_TRACE(entry.name);
    const auto [file, off] = placeEntry(entry, autostart, machine);
    const auto glib = askGlib({file, off});
#ifdef LW_GLIB_ORACLE
    ASSERT_EQ(glib.size(), 2u);
#endif
    window.refreshList();
    deleteAndReverse(window, program.prompter,
                     entry.machine ? EntryKind::AllUsers : EntryKind::CurrentUser, entry.name);
    EXPECT_EQ(shownTexts().back(), text(text::restoredNotice));
    EXPECT_EQ(fileBytes(file), entry.bytes);
    EXPECT_EQ(entry.off ? fileBytes(off) : "", entry.off.value_or(""));
    EXPECT_EQ(askGlib({file, off}), glib);
    EXPECT_TRUE(backupLines().empty());
  }

  // A customized entry comes back with its own rule, time stamp and switch.
  const Lines block = {"Weekly report", "/bin/true --report", "000300000000000x00202401311205",
                       "====="};
  setCustomLines(block);
  ASSERT_TRUE(setCustomizedDisabled(*registry, "Weekly report", true));
  window.refreshList();
  deleteAndReverse(window, program.prompter, EntryKind::Customized, "Weekly report");
  EXPECT_EQ(customLines(), block);
  EXPECT_TRUE(isCustomizedDisabled(*registry, "Weekly report"));
  EXPECT_TRUE(backupLines().empty());
}

// The window's commands take the entry itself: a file name that is not UTF-8 is shown with a
// replacement character, yet each command acts on the file it came from and makes no other.
TEST_F(DesktopFileEditTest, WindowCommandsActOnAFileNameThatIsNotUtf8) {
  const std::string name = "na\xEFve";
  const fs::path file = autostart / (name + ".desktop");
  // Desktops show the entry as its Name; every command still addresses the file's name.
  std::ofstream(file, std::ios::binary)
      << "[Desktop Entry]\nType=Application\nName=Na\xC3\xAFve Notes\nExec=/bin/true\n";
  fs::remove(autostart / "clipboard.desktop");
  NoTray tray;
  MainDialog window(*platform, tray);
  window.OnInitDialog();
  const auto select = [&] {
    const auto &rows = window.listModel->rows();
    for (std::size_t row = 0; row < rows.size(); ++row)
      if (rows[row].name == name)
        window.entryList->setCurrentIndex(window.listModel->index(static_cast<int>(row), 0));
    return window.selectedEntry();
  };
  const auto verdict = [&] { return select()->verdict; };
  const auto onlyFile = [&] {
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(autostart))
      files.push_back(entry.path());
    return files == std::vector{file};
  };
  ASSERT_EQ(verdict(), StartVerdict::Starts);
  const QModelIndex shown = window.entryList->currentIndex();
  EXPECT_EQ(shown.data().toString(), QString::fromUtf8("Na\xC3\xAFve Notes"));
  EXPECT_EQ(shown.data(Qt::ToolTipRole).toString(), QString::fromUtf8(name));

  window.dispatch(&MainDialog::OnDisableEntry);
  EXPECT_EQ(verdict(), StartVerdict::Disabled);
  window.dispatch(&MainDialog::OnEnableEntry);
  EXPECT_EQ(verdict(), StartVerdict::Starts);
  EXPECT_TRUE(onlyFile());

  program.prompter.answer(true);
  whenModal([&](QDialog *dialog) {
    EXPECT_TRUE(dialog->windowTitle().startsWith(QString::fromUtf8("Na\xC3\xAFve Notes")));
    EXPECT_EQ(dialog->findChild<QLineEdit *>("nameEdit")->text(), QString::fromUtf8(name));
    type(dialog, "commandEdit", "/bin/true --edited");
    click(dialog, "okButton");
  });
  ASSERT_TRUE(select());
  window.dispatch(&MainDialog::OnEditEntry);
  EXPECT_TRUE(onlyFile());
  EXPECT_EQ(select()->command, "/bin/true --edited");

  program.prompter.answer(true);
  window.dispatch(&MainDialog::OnDeleteSelectedEntry);
  EXPECT_FALSE(fs::exists(file));
  const Lines backup = backupLines();
  ASSERT_EQ(backup.size(), 10u);
  EXPECT_EQ(backup[6], name) << "the deletion recorded the name that was there";
  EXPECT_EQ(backup[7], "/bin/true --edited");
  EXPECT_TRUE(program.prompter.shown.back().text == text(text::deletedNotice));
}

} // namespace
} // namespace lw::test
