#pragma once
// The main window on a temporary program directory, a fake registry, a scripted prompter and a
// tray that can be told to have no notification area.

#include "Fakes.h"

#include "app/MainDialog.h"
#include "app/Tray.h"
#include "support/LanguageTable.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTreeView>
#include <array>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lw::test {

class FakeTray : public Tray {
public:
  bool available() const override { return hasArea; }
  bool add() override {
    ++adds;
    shown = hasArea;
    return hasArea;
  }
  void remove() override { shown = false; }
  bool isShown() const override { return shown; }
  void showMessage(const std::string &title, const std::string &text) override {
    if (shown)
      messages.push_back(title + ": " + text);
  }
  void click(TrayClick click) {
    if (notify)
      notify(click);
  }

  bool hasArea = true;
  bool shown = false;
  int adds = 0;
  std::vector<std::string> messages;
};

using Row = std::array<std::string, 3>;

class AppTest : public ::testing::Test {
protected:
  TestProgram program;
  FakeTray tray;
  std::unique_ptr<MainDialog> dialog; // last, so that it goes first

  // Constructs, initialises and shows the window, as the program does.
  MainDialog &open() {
    dialog.reset(); // one window at a time holds the tray
    dialog = std::make_unique<MainDialog>(program.platform, tray);
    dialog->OnInitDialog();
    dialog->showAtStart();
    return *dialog;
  }

  std::string text(std::int32_t number) const {
    LanguageTable table(program.platform);
    table.load();
    return table.getText(number);
  }

  // Entries not due at the tests' clocks, so that a timer tick starts nothing: a weekday rule for
  // Sundays, and no test sets its clock to a Sunday.
  void writeCustomized(const std::vector<std::pair<std::string, std::string>> &entries) {
    std::string bytes =
        "Kestrumsoft Launchwright - Customized Entries\r\n" + std::string(46, '=') + "\r\n\r\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
      bytes += entries[i].first + "\r\n" + entries[i].second + "\r\n" +
               "090000000000000100200606301000\r\n=====";
      if (i + 1 < entries.size())
        bytes += "\r\n";
    }
    program.writeFile("0013cst.ini", bytes);
  }

  void setRun(RegistryRoot root, const std::string &name, const std::string &command) {
    program.startup.put(root, name, command);
  }
  std::optional<std::string> runValue(RegistryRoot root, const std::string &name) const {
    return program.startup.get(root, name);
  }
  std::optional<std::string> controlValue(const char *name) const {
    return program.registry.get(RegistryRoot::LocalMachine, keys::control, name);
  }

  int rowCount() const { return dialog->entryList->model()->rowCount(); }
  // The model index of a cell of the only row with that name, or an invalid one.
  QModelIndex cell(const std::string &name, int column = 0) const {
    const QAbstractItemModel *model = dialog->entryList->model();
    const auto found = model->match(model->index(0, 0), Qt::DisplayRole,
                                    QString::fromStdString(name), -1, Qt::MatchExactly);
    return found.size() == 1 ? model->index(found.first().row(), column) : QModelIndex();
  }
  // Selects a row as a click would.
  void selectRow(int row) {
    dialog->entryList->setCurrentIndex(dialog->entryList->model()->index(row, 0));
  }
  std::vector<Row> rows() const {
    std::vector<Row> result;
    const int count = rowCount();
    for (int row = 0; row < count; ++row)
      result.push_back(
          {dialog->cellText(row, 0), dialog->cellText(row, 1), dialog->cellText(row, 2)});
    return result;
  }

  std::vector<std::string> told() const {
    std::vector<std::string> texts;
    for (const auto &shown : program.prompter.shown)
      texts.push_back(shown.text);
    return texts;
  }

  QMenu *menu(const char *objectName) const {
    return dialog->findChild<QMenu *>(QString::fromLatin1(objectName));
  }
  static QAction *action(QMenu *menu, const char *objectName) {
    for (QAction *candidate : menu->actions())
      if (candidate->objectName() == QLatin1String(objectName))
        return candidate;
    return nullptr;
  }
  // The list's own menu as the menu key opens it, and its item that leads to `id`.
  QAction *listMenuItem(const char *id) {
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), QPoint(5, 5));
    QApplication::sendEvent(dialog->entryList->viewport(), &event);
    QMenu *popup = dialog->listMenu;
    QAction *item = popup ? action(popup, id) : nullptr;
    if (popup)
      popup->hide();
    return item;
  }
  static std::vector<std::string> itemTexts(QMenu *menu) {
    std::vector<std::string> texts;
    for (QAction *candidate : menu->actions())
      if (!candidate->isSeparator())
        texts.push_back(candidate->text().toStdString());
    return texts;
  }
};

} // namespace lw::test
