#include "MainDialog.h"

#include "AboutDialog.h"
#include "storage/EntryFormat.h"
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
  const char *name; // the action's object name; nullptr: a separator
  const char *text;
  std::int32_t number; // its language text
  MainDialog::Handler handler;
  QKeyCombination keys = {}; // a shortcut that reaches it without opening the menu
};

const MenuItem fileItems[] = {{"reverseStartupChangesAction", "&Reverse Startup Changes",
                               text::menuReverse, &MainDialog::OnReverseStartupChanges},
                              {"editBackupFileAction", "Edit &Backup File", text::menuEditBackup,
                               &MainDialog::OnEditBackupFile},
                              {},
                              {"disableEntryAction", "Di&sable Entry", text::menuDisable,
                               &MainDialog::OnDisableEntry, Qt::CTRL | Qt::Key_D},
                              {"enableEntryAction", "E&nable Entry", text::menuEnable,
                               &MainDialog::OnEnableEntry, Qt::CTRL | Qt::Key_E},
                              {"startNowAction", "&Start Now", text::menuStartNow,
                               &MainDialog::OnStartNow, Qt::CTRL | Qt::Key_R},
                              {},
                              {"minimizeToTrayAction", "&Minimize To Systray", text::menuMinimize,
                               &MainDialog::OnMinimizeToTray},
                              {},
                              {"exitAction", "&Exit", text::menuExit, &MainDialog::OnExit}};
const MenuItem helpItems[] = {
    {"showHelpFileAction", "Show &Help File", text::menuHelpFile, &MainDialog::OnShowHelpFile,
     Qt::Key_F1},
    {},
    {"websiteAction", "Go To Kestrumsoft &Website", text::menuWebsite, &MainDialog::OnWebsite},
    {},
    {"aboutAction", "&About", text::menuAbout, &MainDialog::OnAbout}};
const MenuItem trayItems[] = {{"showMainProgramAction", "Kestrumsoft Runwarden main program",
                               text::trayShow, &MainDialog::OnTrayShowMainProgram},
                              {"stopCustomizedStartupsAction", "Stop Customized Startups",
                               text::trayStop, &MainDialog::OnTrayStopCustomizedStartups}};

constexpr const char *minimizeToTrayName = "minimizeToTrayAction";

QMenu *fill(MainDialog *window, QMenu *menu, std::span<const MenuItem> items) {
  for (const auto &item : items) {
    if (!item.name) {
      menu->addSeparator();
      continue;
    }
    QAction *action = menu->addAction(QString::fromLatin1(item.text));
    action->setObjectName(QLatin1String(item.name));
    action->setData(item.number);
    if (item.keys != QKeyCombination())
      action->setShortcut(QKeySequence(item.keys));
    QObject::connect(action, &QAction::triggered, window,
                     [window, handler = item.handler] { window->dispatch(handler); });
  }
  return menu;
}

} // namespace

void MainDialog::wireMenu(QMenu *menu) {
  connect(menu, &QMenu::aboutToShow, this,
          [this, menu] { guarded([&] { OnInitMenuPopup(menu); }); });
}

void MainDialog::buildMenuBar() {
  menuBar = new QMenuBar(this);
  menuBar->setObjectName(QStringLiteral("menuBar"));
  QMenu *file = fill(this, menuBar->addMenu(QStringLiteral("&File")), fileItems);
  file->setObjectName(QStringLiteral("fileMenu"));
  file->setToolTipsVisible(true);
  // The sections of the language file, read when the menu opens.
  QMenu *language = menuBar->addMenu(QStringLiteral("&Language"));
  language->setObjectName(QStringLiteral("languageMenu"));
  connect(language, &QMenu::aboutToShow, this,
          [this, language] { guarded([&] { fillLanguageMenu(language); }); });
  QMenu *help = fill(this, menuBar->addMenu(QStringLiteral("&Help")), helpItems);
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
  QMenu *menu = fill(this, new QMenu(this), trayItems);
  menu->setObjectName(QStringLiteral("trayMenu"));
  wireMenu(menu);
  return menu;
}

void MainDialog::OnInitMenuPopup(QMenu *popup) {
  // Set anew on every opening, so that nothing depends on when the table was loaded.
  for (QAction *action : popup->actions()) {
    if (action->isSeparator() || action->menu() || !action->data().isValid())
      continue;
    action->setText(QString::fromUtf8(languageTable.getText(action->data().toInt())));
    // Without a notification area the window would have nowhere to go.
    if (action->objectName() == QLatin1String(minimizeToTrayName)) {
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
  showForUser(help, text::helpNotShown, [this, help] { return platform.shell.open(help); });
}

void MainDialog::showForUser(const std::string &target, std::int32_t failure,
                             const std::function<bool()> &directly) {
  const auto notShown = [this, target, failure] {
    platform.prompter.tell(languageTable.getText(failure) + "\n" + target, EntryStore::caption);
  };
  const auto opener = platform.shell.documentOpener(target);
  if (opener.empty()) {
    if (!directly())
      notShown();
    return;
  }
  // No parent: where the opener runs the viewer itself until it closes, closing this window
  // must not end the viewer. It deletes itself once the opener has ended.
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
    showForUser(address, text::openerFailed,
                [this, address] { return platform.shell.open(address); });
}

void MainDialog::OnEditBackupFile() {
  const std::string backup = toolbox.userFile(backupFileName);
  showForUser(backup, text::openerFailed, [this, backup] { return platform.shell.open(backup); });
}

void MainDialog::OnAbout() {
  AboutDialog about(languageTable);
  about.exec();
}

} // namespace lw
