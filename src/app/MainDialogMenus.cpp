#include "MainDialog.h"

#include "AboutDialog.h"
#include "support/TextNumbers.h"
#include "ui_MainDialog.h"

#include <QActionGroup>
#include <QKeySequence>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>

#include <algorithm>
#include <iterator>
#include <span>

namespace lw {

namespace {

// The help pages' start: HTML on Linux, which any browser shows offline; help.chm on Windows.
// The German pages have a folder of their own, opened while the window speaks German.
constexpr const char *helpFileName = LW_HELP_FILE;
constexpr const char *germanHelpFileName = LW_GERMAN_HELP_FILE;
constexpr const char *germanSection = "[Deutsch]";
constexpr const char *homepageKey = "Homepage";

// The menus as the program's resources define them. The item texts are only what a menu shows
// until it first opens; from then on each item shows its language text.
struct MenuItem {
  int id; // 0: a separator
  const char *text;
};

constexpr MenuItem fileItems[] = {{command::reverseStartupChanges, "&Reverse Startup Changes"},
                                  {command::editBackupFile, "Edit &Backup File"},
                                  {0, nullptr},
                                  {command::disableEntry, "Di&sable Entry"},
                                  {command::enableEntry, "E&nable Entry"},
                                  {command::startNow, "&Start Now"},
                                  {0, nullptr},
                                  {command::minimizeToTray, "&Minimize To Systray"},
                                  {0, nullptr},
                                  {command::exit, "&Exit"}};
constexpr MenuItem helpItems[] = {{command::showHelpFile, "Show &Help File"},
                                  {0, nullptr},
                                  {command::website, "Go To Kestrumsoft &Website"},
                                  {0, nullptr},
                                  {command::about, "&About"}};
constexpr MenuItem trayItems[] = {{command::showMainProgram, "Kestrumsoft Runwarden main program"},
                                  {command::stopCustomizedStartups, "Stop Customized Startups"}};

// Keys that reach an item without opening its menu.
struct MenuShortcut {
  int id;
  QKeySequence keys;
};

const MenuShortcut menuShortcuts[] = {{command::disableEntry, QKeySequence(Qt::CTRL | Qt::Key_D)},
                                      {command::enableEntry, QKeySequence(Qt::CTRL | Qt::Key_E)},
                                      {command::startNow, QKeySequence(Qt::CTRL | Qt::Key_R)}};

// The language text of every item with a command id.
struct MenuText {
  int id;
  std::int32_t number;
};

constexpr MenuText menuTexts[] = {{command::showMainProgram, text::trayShow},
                                  {command::stopCustomizedStartups, text::trayStop},
                                  {command::reverseStartupChanges, text::menuReverse},
                                  {command::editBackupFile, text::menuEditBackup},
                                  {command::disableEntry, text::menuDisable},
                                  {command::enableEntry, text::menuEnable},
                                  {command::startNow, text::menuStartNow},
                                  {command::minimizeToTray, text::menuMinimize},
                                  {command::exit, text::menuExit},
                                  {command::showHelpFile, text::menuHelpFile},
                                  {command::website, text::menuWebsite},
                                  {command::about, text::menuAbout}};

QMenu *fill(QMenu *menu, std::span<const MenuItem> items) {
  for (const auto &item : items) {
    if (item.id == 0) {
      menu->addSeparator();
      continue;
    }
    QAction *action = menu->addAction(QString::fromLatin1(item.text));
    action->setData(item.id);
    for (const auto &shortcut : menuShortcuts)
      if (shortcut.id == item.id)
        action->setShortcut(shortcut.keys);
  }
  return menu;
}

} // namespace

void MainDialog::wireMenu(QMenu *menu) {
  connect(menu, &QMenu::aboutToShow, this,
          [this, menu] { guarded([&] { OnInitMenuPopup(menu); }); });
  connect(menu, &QMenu::triggered, this, [this](QAction *action) {
    if (action->data().isValid())
      dispatch(action->data().toInt());
  });
}

void MainDialog::buildMenuBar() {
  menuBar = new QMenuBar(this);
  menuBar->setObjectName(QStringLiteral("menuBar"));
  QMenu *file = fill(menuBar->addMenu(QStringLiteral("&File")), fileItems);
  file->setObjectName(QStringLiteral("fileMenu"));
  file->setToolTipsVisible(true);
  // The sections of the language file, read when the menu opens.
  QMenu *language = menuBar->addMenu(QStringLiteral("&Language"));
  language->setObjectName(QStringLiteral("languageMenu"));
  connect(language, &QMenu::aboutToShow, this,
          [this, language] { guarded([&] { fillLanguageMenu(language); }); });
  QMenu *help = fill(menuBar->addMenu(QStringLiteral("&Help")), helpItems);
  help->setObjectName(QStringLiteral("helpMenu"));
  wireMenu(file);
  wireMenu(help);
  layout()->setMenuBar(menuBar);
}

void MainDialog::fillLanguageMenu(QMenu *menu) {
  menu->clear();
  auto *group = new QActionGroup(menu);
  for (const LanguageChoice &choice : languageTable.choices()) {
    QAction *item = menu->addAction(QString::fromUtf8(choice.name));
    item->setCheckable(true);
    item->setChecked(choice.header == languageTable.section());
    group->addAction(item);
    connect(item, &QAction::triggered, this,
            [this, header = choice.header] { guarded([&] { chooseLanguage(header); }); });
  }
}

QMenu *MainDialog::loadTrayMenu() {
  QMenu *menu = fill(new QMenu(this), trayItems);
  menu->setObjectName(QStringLiteral("trayMenu"));
  wireMenu(menu);
  return menu;
}

void MainDialog::OnInitMenuPopup(QMenu *popup) {
  // Set anew on every opening, so that nothing depends on when the table was loaded.
  for (QAction *action : popup->actions()) {
    if (action->isSeparator() || action->menu() || !action->data().isValid())
      continue;
    const int id = action->data().toInt();
    const auto text = std::find_if(std::begin(menuTexts), std::end(menuTexts),
                                   [id](const MenuText &candidate) { return candidate.id == id; });
    if (text != std::end(menuTexts))
      action->setText(QString::fromUtf8(languageTable.getText(text->number)));
    // Without a notification area the window would have nowhere to go.
    if (id == command::minimizeToTray) {
      const bool tray = trayIcon.available();
      action->setEnabled(tray);
      action->setToolTip(tray ? QString()
                              : QString::fromUtf8(languageTable.getText(text::noTrayArea)));
    }
  }
}

void MainDialog::OnShowHelpFile() {
  const std::string help = toolbox.shippedFile(
      languageTable.section() == germanSection ? germanHelpFileName : helpFileName);
  const auto notShown = [this, help] {
    platform.prompter.tell(languageTable.getText(text::helpNotShown) + "\n" + help,
                           EntryStore::caption);
  };
  const auto opener = platform.shell.documentOpener(help);
  if (opener.empty()) {
    if (!platform.shell.open(help))
      notShown();
    return;
  }
  // No parent: where the opener runs the browser itself until it closes, closing this window
  // must not end the browser. It deletes itself once the opener has ended.
  auto *process = new QProcess;
  process->setProgram(QString::fromLocal8Bit(opener.front()));
  QStringList arguments;
  for (auto it = opener.begin() + 1; it != opener.end(); ++it)
    arguments << QString::fromLocal8Bit(*it);
  process->setArguments(arguments);
  // Like every program started for the user, it gets none of our descriptors: an output of
  // ours may be a pipe whose reader waits for its end.
  process->setStandardInputFile(QProcess::nullDevice());
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setStandardErrorFile(QProcess::nullDevice());
  QObject::connect(process, &QProcess::errorOccurred, this,
                   [this, process, notShown](QProcess::ProcessError error) {
                     if (error != QProcess::FailedToStart)
                       return;
                     guarded(notShown);
                     process->deleteLater();
                   });
  QObject::connect(process, &QProcess::finished, this,
                   [this, process, notShown](int exitCode, QProcess::ExitStatus status) {
                     if (status != QProcess::NormalExit || exitCode != 0)
                       guarded(notShown);
                     process->deleteLater();
                   });
  process->start();
}

void MainDialog::OnHelpInfo() { OnShowHelpFile(); }

void MainDialog::OnWebsite() {
  const std::string address = toolbox.configValue(homepageKey);
  // An empty address opens nothing; the desktop's opener is not asked to guess.
  if (!address.empty())
    platform.shell.open(address);
}

void MainDialog::OnAbout() {
  AboutDialog about(languageTable);
  about.exec();
}

} // namespace lw
