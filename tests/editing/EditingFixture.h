#pragma once
// A program directory with the shipped data files, a fake registry and a scripted prompter, and
// the helpers that the entry dialog and entry command tests share.

#include "Fakes.h"

#include "editing/EntryDialog.h"
#include "editing/WindowCommands.h"
#include "storage/EntryStore.h"
#include "support/LanguageTable.h"
#include "support/Toolbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lw::test {

class EditingTest : public ::testing::Test {
protected:
  TestProgram program;

  std::string text(std::int32_t number) const {
    LanguageTable table(program.platform);
    table.load();
    return table.getText(number);
  }

  std::optional<std::string> runValue(RegistryRoot root, const std::string &name) const {
    return program.startup.get(root, name);
  }
  void setRunValue(RegistryRoot root, const std::string &name, const std::string &command) {
    program.startup.put(root, name, command);
  }

  std::vector<std::string> customLines() const {
    EntryStore store(program.platform);
    store.readEntries();
    return store.customLines;
  }
  void setCustomLines(std::vector<std::string> lines) const {
    EntryStore store(program.platform);
    store.customLines = std::move(lines);
    store.writeEntries();
  }
  std::vector<std::string> backupLines() const {
    EntryStore store(program.platform);
    store.readBackupFile();
    return store.backupLines;
  }
  void setBackupLines(std::vector<std::string> lines) const {
    EntryStore store(program.platform);
    store.backupLines = std::move(lines);
    store.writeBackupFile();
  }

  // The texts the prompter showed, questions and notices alike, in order.
  std::vector<std::string> shownTexts() const {
    std::vector<std::string> texts;
    for (const auto &shown : program.prompter.shown)
      texts.push_back(shown.text);
    return texts;
  }

  // A dialog opened as the entry commands open one, shown without a modal loop.
  std::unique_ptr<EntryDialog> openDialog(EntryKind kind, const std::string &name,
                                          const std::string &command,
                                          const std::string &schedule = {}) {
    return openDialogOn(program.platform, kind, name, command, schedule);
  }
  std::unique_ptr<EntryDialog> openDialogOn(const Platform &platform, EntryKind kind,
                                            const std::string &name, const std::string &command,
                                            const std::string &schedule = {}) {
    EntryForm form;
    form.entry = {kind, name, command, schedule};
    LanguageTable table(platform);
    table.load();
    form.adding = EntryDialog::isAddingMode(form.entry, table);
    auto dialog = std::make_unique<EntryDialog>(platform, std::move(form),
                                                entryFormActions(platform, "rwlaunch", {}));
    dialog->OnInitDialog();
    dialog->show();
    return dialog;
  }

  template <typename Widget> static Widget *child(QWidget *dialog, const char *objectName) {
    auto *widget = dialog->findChild<Widget *>(objectName);
    EXPECT_NE(widget, nullptr) << objectName;
    return widget;
  }
  static void click(QWidget *dialog, const char *objectName) {
    if (auto *button = child<QAbstractButton>(dialog, objectName))
      button->click();
  }
  static void type(QWidget *dialog, const char *objectName, const QString &text) {
    if (auto *edit = child<QLineEdit>(dialog, objectName))
      edit->setText(text);
  }
  static std::string fieldText(QWidget *dialog, const char *objectName) {
    auto *edit = child<QLineEdit>(dialog, objectName);
    return edit ? edit->text().toStdString() : std::string();
  }
};

// Runs `inside` on the modal dialog that the code under test opens with exec(), then closes it
// if it is still open, so that a failed check never leaves the modal loop running.
inline void whenModal(std::function<void(QDialog *)> inside, int attempt = 0) {
  QTimer::singleShot(attempt == 0 ? 0 : 10, [inside, attempt] {
    auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    if (!dialog) {
      if (attempt < 200)
        whenModal(inside, attempt + 1);
      else
        ADD_FAILURE() << "no modal dialog appeared";
      return;
    }
    inside(dialog);
    if (dialog->isVisible())
      dialog->reject();
  });
}

} // namespace lw::test
