#pragma once

#include "FileWatch.h"
#include "QtTexts.h"
#include "StartupListModel.h"
#include "StartupWatch.h"
#include "Tray.h"
#include "editing/WindowCommands.h"
#include "entries/LogonRows.h"
#include "entries/StartupList.h"
#include "scheduler/Launcher.h"
#include "scheduler/ScheduleStatus.h"
#include "support/FileError.h"
#include "support/LanguageTable.h"
#include "support/Toolbox.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QIcon>
#include <QPoint>
#include <QPointer>
#include <QTimer>

#include <QRect>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QTreeView;

namespace Ui {
class MainDialog;
}

namespace lw {

class ChangesDialog;
class DesktopNotifier;

// The program's one window. It lives for the whole run: ending it ends the program.
class MainDialog : public QDialog, public EntryCommandHost {
  Q_OBJECT

public:
  static constexpr int timerPeriodMs = 2500;

  // The program icon in every size drawn for it; also the tray's icon.
  static QIcon programIcon();

  MainDialog(const Platform &platform, Tray &trayIcon, QWidget *parent = nullptr);
  ~MainDialog() override;

  // Texts, columns, the logon marker and the first list; call it once before the window is
  // shown. A file that cannot be used is reported and the remaining steps are skipped.
  bool OnInitDialog();
  // Watches every source of what starts at logon, each look on platforms `maker` makes, keeps
  // the change journal and tells the user of what other programs change. Once, after
  // OnInitDialog; a window that is never asked watches only its own files.
  void watchStartup(PlatformMaker maker);
  StartupWatch *startupChanges() const { return startupWatch.get(); }

  // The window's commands and events, each connected straight to its source (button, menu item,
  // key, timer, close box); every one runs through dispatch.
  void OnOK();
  void OnCancel();
  void OnEditEntry();
  void OnDeleteSelectedEntry();
  void OnAddEntry();
  void OnReverseStartupChanges();
  void OnListDoubleClick();
  void OnEditBackupFile();
  void OnDisableEntry();
  void OnEnableEntry();
  void OnStartNow();
  void OnOpenFileLocation();
  void OnProperties();
  void OnTimer();
  void OnMinimizeToTray();
  void OnExit();
  void OnTrayShowMainProgram();
  void OnTrayStopCustomizedStartups();
  void OnShowHelpFile();
  void OnHelpInfo();
  void OnWebsite();
  void OnAbout();
  void OnClose();
  void OnStartupChanges();

  using Handler = void (MainDialog::*)();
  // Runs one of the window's handlers through guarded.
  void dispatch(Handler handler) {
    guarded([&] { (this->*handler)(); });
  }
  // Runs body; a FileError ends it, is shown in a message box owned by this window and gives
  // false. Running out of memory (a damaged file far too large to be read, say) ends it the
  // same way. Every slot that reaches the core goes through here.
  template <class Body> bool guarded(Body &&body) {
    try {
      body();
      return true;
    } catch (const FileError &error) {
      reportFileError(error);
      return false;
    } catch (const std::bad_alloc &) {
      reportOutOfMemory();
      return false;
    }
  }

  // Rebuilds the list and its counts from the three sources, starts or stops the timer and
  // enters or removes the companion starter. Throws FileError when the customized entries
  // file cannot be read; nothing has changed then.
  void refreshList() override;
  void refreshSelecting(const StartupEntry &entry) override;

  // The row the user last selected, or -1; a refresh forgets it.
  int selectionMark() const { return mark; }
  // That row's entry, as read.
  std::optional<StartupEntry> selectedEntry() const override;
  // The text a cell shows; empty outside the list.
  std::string cellText(int row, int column) const;
  // The timer reloads its copy of the customized entries on its next tick.
  void setReloadPending() override { launcher.reloadPending = true; }
  const LanguageTable &commandTexts() const override { return languageTable; }
  Toolbox &commandToolbox() override { return toolbox; }
  const Platform &commandPlatform() const override { return platform; }
  std::string_view commandStarterFile() const override;
  bool reloadPending() const { return launcher.reloadPending; }
  bool startedByAutostart() const { return launcher.startedByAutostart; }
  bool timerRunning() const { return timer.isActive(); }
  // How many times the other ways a program starts were asked and their answers shown.
  int logonListingsShown() const { return logonListings; }
  const std::string &status() const { return statusText; }

  // Shows the window for the first time; a start at logon goes straight to the tray instead
  // (minimised where there is none), without the window ever appearing.
  void showAtStart();
  void minimizeToTray();
  // Mapped minimised, as a start at logon with no tray to go to.
  void showIconic();
  void restoreFromTray();
  void showTrayMenu(QPoint at);
  // The list's own menu at a point on the screen: Edit, Delete, and Disable or Enable as the
  // selected row needs.
  void showListMenu(QPoint at);

  const Platform &platform;
  LanguageTable languageTable;
  QMenu *trayMenu = nullptr; // made anew each time the window goes to the tray
  QMenu *listMenu = nullptr; // made anew each time the list's menu opens
  Tray &trayIcon;

private:
  // The timer's starts pass through here, so that the window knows when to work out the rows'
  // next starts again without the launcher knowing about windows.
  class WatchedShell : public Shell {
  public:
    explicit WatchedShell(Shell &watched) : shell(watched) {}
    bool open(const std::string &target) override;
    StartResult start(const std::string &command, const std::string &workingDirectory,
                      StartStyle style) override;
    std::size_t starts = 0;

  private:
    Shell &shell;
  };
  WatchedShell launcherShell;
  Platform launcherPlatform;

public:
  Launcher launcher;
  Toolbox toolbox;
  QPushButton *addButton;
  QPushButton *deleteButton;
  QPushButton *editButton;
  QTreeView *entryList;
  // The list's rows, read afresh by each refresh, with every entry's exact bytes.
  StartupListModel *listModel;
  QMenuBar *menuBar;
  QLineEdit *filterLine = nullptr;

protected:
  void closeEvent(QCloseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  // A timed start that failed: told once per entry and run, never in a message box.
  void OnStartFailed(const std::string &name);
  void OnTrayNotify(TrayClick click);
  void OnInitMenuPopup(QMenu *popup);
  void OnViewChanged();
  // The window up from the tray, by a click, the tray menu or a second start.
  void showFromTray();

  void initialise();
  // Every text of the window from the language table, and again after the user chose another.
  void applyTexts();
  void fitKindColumn();
  void chooseLanguage(const std::string &header);
  void fillLanguageMenu(QMenu *menu);
  void consumeAutostartMarker();
  void removeRunningValues();
  void deleteBackgroundControl();
  void fitCounts();
  // The canvas is drawn for one size; when the window grows, the list takes the room and the
  // buttons, counts and bands keep to their edges.
  struct Anchored {
    QWidget *widget;
    QRect designed;
    bool left, top, right, bottom; // the edges that follow the canvas's right or bottom edge
  };
  void anchorCanvas();
  // Ctrl+F: a line above the list that narrows it to the rows whose name or command holds its
  // text; Escape empties and closes it.
  void makeFilterLine();
  void showFilterLine();
  void closeFilterLine();
  void applyFilter();
  void layOutCanvas();
  // The window's size and the list's column widths, as the user left them last time.
  // False when nothing usable was kept.
  bool restoreWindowLayout();
  void saveWindowLayout();
  // Status as wide as its longest word, taken from Command where the list is too narrow, and at
  // the first size from the window's width when Command alone cannot give enough.
  void fitStatusColumn(int listWidth, bool firstSize = false);
  int designedListWidth() const;
  void setColumnWidths(int column, int width);
  void rebaseColumns(int extra);
  void shareListWidth(int extra);
  void onColumnDragged(int column);
  // The bands around the canvas, for their present sizes.
  void drawBands();
  void buildMenuBar();
  // View: the other ways a program starts at logon, and the operating system's own among them.
  void buildViewMenu();
  void readViewChoices();
  // View: whether the logon recorder measures each entry's cost (config.ini), and the last
  // logon it recorded, for the Impact column.
  void buildImpactItem(QMenu *view);
  void OnRecordImpactChanged();
  void showLastLogon();
  // Asks the sources on a thread of its own; their rows follow the list's own when they answer.
  void listLogonSources();
  void takeLogonAnswers(std::vector<LogonAnswer> answers);
  void joinLogonWorker();
  void showRows();
  void showCounts();
  QMenu *loadTrayMenu();
  void wireMenu(QMenu *menu);
  void reportFileError(const FileError &error);
  // The desktop shows the file, folder or address; when it cannot, the user is told with text
  // `failure` and the target, so that they can open it themselves. Where the desktop's opener is
  // a program, its exit status tells; elsewhere `directly` opens and says whether it did.
  void showForUser(const std::string &target, std::int32_t failure,
                   const std::function<bool()> &directly);
  void reportOutOfMemory();
  // The store of the customized switches as last read, by the list or by the timer: a store
  // that cannot be read is told once, until a reading finds it readable again.
  void noteSwitches(const std::optional<FileError> &problem);
  void noteLauncherSwitches();
  // A customized row's last and next start in words, from the timer's state.
  void describeTiming(StartupEntry &row) const;
  void showTimings();
  // Changes someone else made to the files: the timer takes them before it starts anything,
  // the list shows them. The window's own writes are taken too, but change nothing.
  void watchFiles();
  void takeOutsideChanges();
  // The change journal's part of the window.
  void buildChangesMenu(QMenu *view);
  void readNotifyChoice();
  GuardScope selectedScope() const;
  void asOwnChange(const GuardScope &scope, const std::function<void()> &change);
  void takeChanges(const std::vector<ChangeRecord> &records, bool atStart);
  void announce();
  void actOnChange(std::uint64_t number, const std::string &key);
  std::optional<StartupEntry> entryOfChange(const ChangeRecord &record);
  void actOnEntry(const ChangeRecord &record, bool remove);
  std::string kindLabelOf(const std::string &word) const;
  void showJournal();
  void showChangesNote(const std::string &sentence);
  void refreshKeepingSelection();
  // The rule and time words of the language, taken once per refresh for the rows shown.
  mutable std::optional<ScheduleTexts> scheduleTexts;

  std::unique_ptr<Ui::MainDialog> ui;
  QtTexts qtTexts;
  // The widths of Name and Command when the list was `extra` pixels wider than designed; what it
  // gains beyond that is shared. Pending until the window is shown at its first size.
  struct ColumnBase {
    int extra = 0;
    int name = 0;
    int command = 0;
    bool pending = true;
  };
  ColumnBase columnBase;
  int listExtra = 0;           // how much wider than designed the list was at the last layout
  bool sharingColumns = false; // the widths are being set by the window, not dragged
  std::vector<Anchored> anchored;
  QSize designedCanvas;
  QSize bandsDrawnFor;
  std::string savedLayout; // as last read or written, so that an unchanged one is not written
  std::string statusText;
  std::string runStatus; // the counts of the list's own rows, without the other ways to start
  std::vector<std::string> failuresTold; // entries whose failed start the user was told of
  std::string failureNotes;              // lines under the counts until the next refresh
  QIcon icon;
  QTimer timer;
  int mark = -1;
  bool tickRunning = false;
  FileWatch fileWatch;
  bool launcherOutdated = false;
  bool switchesToldUnreadable = false;
  std::uint64_t launcherSwitchesSeen = 0; // the launcher's switchesReads() last looked at
  bool listOutdated = false;
  QTimer listRetry; // for a list change that waits for a command's dialog to close

  // The other ways a program starts at logon, as the View menu chose them and last listed.
  QAction *otherSourcesAction = nullptr;
  QAction *systemComponentsAction = nullptr;
  QAction *recordImpactAction = nullptr;
  bool showOtherSources = false;
  bool showSystemComponents = false;
  std::vector<StartupEntry> logonRows;
  std::string logonCounts;
  std::string logonUnavailable; // why sources could not be asked: the counts' tooltip
  bool tellUnavailable = false; // the next answers follow the user's choice in the View menu
  std::thread logonWorker;
  bool logonAgain = false; // asked again while an asking ran
  int logonListings = 0;

  std::unique_ptr<StartupWatch> startupWatch;
  std::unique_ptr<DesktopNotifier> notifier;
  QAction *changesAction = nullptr;
  QAction *notifyAction = nullptr;
  bool notifyChanges = true;
  std::vector<ChangeRecord> toAnnounce; // by others, in the burst being gathered
  QTimer announceTimer;
  QElapsedTimer burstStarted;
  std::map<std::uint64_t, ChangeRecord> announced; // by the number they were told under
  QPointer<ChangesDialog> changesDialog;
  QLabel *changesNote = nullptr;
};

} // namespace lw
