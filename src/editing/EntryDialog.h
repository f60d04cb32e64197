#pragma once
// The form in which the user adds or edits one startup entry. It opens with the entry's values
// and lets the user change them; OK checks them and asks, Delete this entry asks, and what the
// user confirmed is carried out by the opener's actions, which are the core's save and delete.

#include "entries/EntryCommands.h"
#include "scheduler/Schedule.h"
#include "support/LanguageTable.h"

#include <QDialog>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QRadioButton;

namespace Ui {
class EntryDialog;
}

namespace lw {

class FileError;

// What the form opens with.
struct EntryForm {
  // The entry as listed. For a Customized entry `schedule` is its whole stored schedule line
  // (schedule characters and time stamp); Add hands over the Current User kind, the table's
  // name for a new entry and no command.
  EntryValues entry;
  // The name desktops show for the entry where it has one of its own (see
  // StartupEntry::displayName); shown in the title, never saved: the name is the entry's name.
  std::string displayName;
  // A new entry: OK asks to add it and replaces nothing, and Delete this entry is off.
  bool adding = false;
};

// How the opener carries out what the user confirmed.
struct EntryFormActions {
  // Writes the entry (see saveEntry): a new one when `old` is empty, else in place of `old`.
  std::function<SaveOutcome(const std::optional<EntryValues> &old, const EntryValues &entry)> save;
  // Delete this entry: asks, removes the entry as it was opened and tells; true when it is gone.
  std::function<bool(const EntryValues &opened)> remove;
};

class EntryDialog : public QDialog {
  Q_OBJECT

public:
  // The name that Add hands over in the English table; see isAddingMode for the other languages.
  static constexpr const char *newEntryName = "New entry";

  EntryDialog(const Platform &platform, EntryForm form, EntryFormActions actions,
              QWidget *parent = nullptr);
  ~EntryDialog() override;

  // Whether an entry opened for editing is a new one all the same: no command, under the name
  // Add hands over ("New entry", or the table's own name for a new entry in other languages).
  static bool isAddingMode(const EntryValues &entry, const LanguageTable &texts);

  // Runs the opening steps once; exec() and the first show() call it. Throws FileError when the
  // language file cannot be read, which exec() passes on to the opener.
  void OnInitDialog();
  int exec() override;

  // True copies the controls into the form's values, false the values into the controls.
  void updateData(bool saveAndValidate);
  // Exactly the controls that make up a start rule; the group box and the contents stay.
  void enableScheduleControls(bool enable);

  void OnBrowse();
  // Choose Application: fills the name and command from an installed application, whose own
  // entry a Current User or All Users entry is then written as a copy of.
  void OnChooseApplication();
  void OnAllUsers();
  void OnCurrentUser();
  void OnCustomized();
  void OnDeleteEntry();
  void OnOK();

  // The entry as the fields last gave it (at OK, Browse or Delete this entry), else as it opened.
  const EntryValues &values() const { return current; }
  // Set by a new entry, by any click on a kind, by a confirmed Browse or Delete this entry and by
  // OK on values that differ from the opening ones, and never cleared, so it may be set when the
  // form was cancelled: the opener then has the timer reload its copy of the customized entries.
  bool changed() const { return changedFlag; }

public slots:
  void accept() override;

protected:
  void showEvent(QShowEvent *event) override;

private:
  struct KindButton {
    QRadioButton *button;
    EntryKind kind;
  };
  std::array<KindButton, 3> kindButtons() const;
  // In the order of ScheduleValues::choice.
  std::array<QRadioButton *, 11> scheduleButtons() const;
  void setCaptions();
  // Between the weekday the list shows and the English name the start rule stores.
  std::string storedWeekday(const QString &shown) const;
  QString shownWeekday(const std::string &stored) const;
  // The refusals and questions of OK, in the order the user meets them; true when the user
  // confirmed the entry.
  bool confirmed(const std::optional<EntryValues> &old, const EntryValues &entry);
  // Runs a handler that reaches the files; a file error (or running out of memory) is reported
  // and leaves the dialog open.
  void guarded(const std::function<void()> &handler);
  void reportFileError(const FileError &error);
  void tellText(std::int32_t number);

  const Platform &platform;
  const EntryForm form;
  const EntryFormActions actions;
  LanguageTable texts;
  EntryValues current;
  ScheduleValues rule;
  int openedRuleChoice = 0;
  bool changedFlag = false;
  bool initialised = false;
  std::unique_ptr<Ui::EntryDialog> ui;
};

} // namespace lw
