#pragma once
// The dialog in which the user adds or edits one startup entry. It carries the file routines of
// EntryStore and writes the entry itself when the user confirms OK.

#include "scheduler/Schedule.h"
#include "storage/EntryStore.h"

#include <QDialog>

#include <array>
#include <functional>
#include <memory>
#include <string>

class QRadioButton;

namespace Ui {
class EntryDialog;
}

namespace lw {

class FileError;

class EntryDialog : public QDialog, public EntryStore {
  Q_OBJECT

public:
  // The name that Add hands over in the English table; see isAddingMode for the other languages.
  static constexpr const char *newEntryName = "New entry";

  explicit EntryDialog(const Platform &platform, QWidget *parent = nullptr);
  ~EntryDialog() override;

  // Set by the opener before the dialog is shown; the schedule is the entry's whole stored
  // schedule line (schedule characters and time stamp) for a Customized entry.
  std::string oldSchedule;
  int oldScheduleChoice = 0;
  std::string schedule;
  std::string oldCommand;
  std::string oldName;
  bool oldView32 = false; // the entry is in the machine's 32-bit Run key (RunEntry::view32)
  int kind = -1;          // 0 All Users, 1 Current User, 2 Customized, -1 none selected
  std::string name;
  // The name desktops show for the entry where it has one of its own (see
  // StartupEntry::displayName); shown in the title, never saved: the name is the entry's name.
  std::string displayName;
  std::string command;
  std::string weekday;
  std::string dayOfMonth;
  std::string days;
  std::string hours;
  std::string minutes;
  std::string weeks;
  std::string nameLabel;
  std::string commandLabel;
  int scheduleChoice = -1; // 0 to 10 in the order of the schedule radio buttons, -1 none

  // Called as soon as OK has changed the customized entries file, before any message box: the
  // timer keeps ticking inside a box's modal loop, and a tick that writes back its old copy of
  // the file would otherwise undo the change.
  std::function<void()> customizedWritten;

  // Runs the opening steps once; exec() and the first show() call it. Throws FileError when the
  // language file cannot be read, which exec() passes on to the opener.
  void OnInitDialog();
  int exec() override;

  // True copies the controls into the members, false the members into the controls.
  void updateData(bool saveAndValidate);
  // Exactly the controls that make up a start rule; the group box and the contents stay.
  void enableScheduleControls(bool enable);
  // The adding-mode test, on the values as they were when the dialog opened.
  bool isAddingMode() const;

  void OnBrowse();
  void OnAllUsers();
  void OnCurrentUser();
  void OnCustomized();
  void OnDeleteEntry();
  void OnOK();

  // The widget of each kind and schedule choice, in index order.
  std::array<QRadioButton *, 3> kindButtons() const;
  std::array<QRadioButton *, 11> scheduleButtons() const;

public slots:
  void accept() override;

protected:
  void showEvent(QShowEvent *event) override;

private:
  ScheduleValues scheduleValues() const;
  void takeScheduleValues(const ScheduleValues &values);
  void setCaptions();
  // Between the weekday the list shows and the English name the start rule stores.
  std::string storedWeekday(const QString &shown) const;
  QString shownWeekday(const std::string &stored) const;
  // Runs a handler that reaches the files; a file error (or running out of memory) is reported
  // and leaves the dialog open.
  void guarded(const std::function<void()> &handler);
  void reportFileError(const FileError &error);
  void tellText(std::int32_t number);
  void announceCustomizedWrite();

  std::unique_ptr<Ui::EntryDialog> ui;
  bool initialised = false;
  bool addingMode = false;
};

} // namespace lw
