#include "EntryDialog.h"

#include "editing/WindowCommands.h"
#include "entries/EntryCommands.h"

#include "ui_EntryDialog.h"

#include "entries/FileErrorText.h"
#include "scheduler/NextStart.h"
#include "storage/DisabledEntries.h"
#include "storage/EntryFormat.h"
#include "support/FileError.h"
#include "support/TextNumbers.h"

#include <QShowEvent>

#include <new>

namespace lw {

namespace {

QString toQt(const std::string &text) { return QString::fromUtf8(text); }
std::string fromQt(const QString &text) { return text.toUtf8().toStdString(); }

template <std::size_t N> int checkedIndex(const std::array<QRadioButton *, N> &buttons) {
  for (std::size_t i = 0; i < N; ++i)
    if (buttons[i]->isChecked())
      return static_cast<int>(i);
  return -1;
}

// An auto-exclusive radio button cannot be unchecked directly, and -1 means none is selected.
template <std::size_t N> void checkIndex(const std::array<QRadioButton *, N> &buttons, int index) {
  for (std::size_t i = 0; i < N; ++i) {
    QRadioButton *button = buttons[i];
    if (static_cast<int>(i) == index) {
      button->setChecked(true);
    } else if (button->isChecked()) {
      button->setAutoExclusive(false);
      button->setChecked(false);
      button->setAutoExclusive(true);
    }
  }
}

// A name or command is bytes. Shown unchanged, the field gives back the bytes it was given, so a
// name that is not UTF-8 stays the name of the file it came from.
std::string keptBytes(const QString &shown, const std::string &original) {
  return shown == toQt(original) ? original : fromQt(shown);
}

// The weekday list shows the language's names; each item keeps the English name, which is what
// the start rule stores.
constexpr int storedNameRole = Qt::UserRole;

std::string joined(const std::string &first, const std::string &second) {
  return first + "\n\n" + second;
}

} // namespace

EntryDialog::EntryDialog(const Platform &system, QWidget *parent)
    : QDialog(parent), EntryStore(system), ui(std::make_unique<Ui::EntryDialog>()) {
  ui->setupUi(this);
  connect(ui->browseButton, &QPushButton::clicked, this,
          [this] { guarded([this] { OnBrowse(); }); });
  connect(ui->allUsersRadio, &QRadioButton::clicked, this, [this] { OnAllUsers(); });
  connect(ui->currentUserRadio, &QRadioButton::clicked, this, [this] { OnCurrentUser(); });
  connect(ui->customizedRadio, &QRadioButton::clicked, this, [this] { OnCustomized(); });
  connect(ui->deleteEntryButton, &QPushButton::clicked, this,
          [this] { guarded([this] { OnDeleteEntry(); }); });
  connect(ui->okButton, &QPushButton::clicked, this, &EntryDialog::accept);
  connect(ui->cancelButton, &QPushButton::clicked, this, &EntryDialog::reject);
}

EntryDialog::~EntryDialog() = default;

std::array<QRadioButton *, 3> EntryDialog::kindButtons() const {
  return {ui->allUsersRadio, ui->currentUserRadio, ui->customizedRadio};
}

std::array<QRadioButton *, 11> EntryDialog::scheduleButtons() const {
  return {ui->onceADayRadio,   ui->everySecondDayRadio, ui->onceAWeekRadio,   ui->onceAMonthRadio,
          ui->onceAYearRadio,  ui->everyMinutesRadio,   ui->everyHoursRadio,  ui->everyDaysRadio,
          ui->everyWeeksRadio, ui->onlyOnWeekdayRadio,  ui->onDayOfMonthRadio};
}

void EntryDialog::updateData(bool saveAndValidate) {
  if (saveAndValidate) {
    kind = checkedIndex(kindButtons());
    scheduleChoice = checkedIndex(scheduleButtons());
    name = keptBytes(ui->nameEdit->text(), oldName);
    command = keptBytes(ui->commandEdit->text(), oldCommand);
    weekday = storedWeekday(ui->weekdayCombo->currentText());
    dayOfMonth = fromQt(ui->dayOfMonthEdit->text());
    days = fromQt(ui->daysEdit->text());
    hours = fromQt(ui->hoursEdit->text());
    minutes = fromQt(ui->minutesEdit->text());
    weeks = fromQt(ui->weeksEdit->text());
    nameLabel = fromQt(ui->nameLabel->text());
    commandLabel = fromQt(ui->commandLabel->text());
    return;
  }
  // The limits keep every field of the stored start rule at its width, whatever is pasted.
  ui->dayOfMonthEdit->setMaxLength(static_cast<int>(scheduleWidth::dayOfMonth));
  ui->daysEdit->setMaxLength(static_cast<int>(scheduleWidth::days));
  ui->hoursEdit->setMaxLength(static_cast<int>(scheduleWidth::hours));
  ui->minutesEdit->setMaxLength(static_cast<int>(scheduleWidth::minutes));
  ui->weeksEdit->setMaxLength(static_cast<int>(scheduleWidth::weeks));
  checkIndex(kindButtons(), kind);
  checkIndex(scheduleButtons(), scheduleChoice);
  ui->nameEdit->setText(toQt(name));
  ui->commandEdit->setText(toQt(command));
  ui->weekdayCombo->setCurrentIndex(-1);
  ui->weekdayCombo->setEditText(shownWeekday(weekday));
  ui->dayOfMonthEdit->setText(toQt(dayOfMonth));
  ui->daysEdit->setText(toQt(days));
  ui->hoursEdit->setText(toQt(hours));
  ui->minutesEdit->setText(toQt(minutes));
  ui->weeksEdit->setText(toQt(weeks));
  ui->nameLabel->setText(toQt(nameLabel));
  ui->commandLabel->setText(toQt(commandLabel));
}

std::string EntryDialog::storedWeekday(const QString &shown) const {
  for (int item = 0; item < ui->weekdayCombo->count(); ++item)
    if (ui->weekdayCombo->itemText(item) == shown)
      return fromQt(ui->weekdayCombo->itemData(item, storedNameRole).toString());
  return fromQt(shown);
}

QString EntryDialog::shownWeekday(const std::string &stored) const {
  for (int item = 0; item < ui->weekdayCombo->count(); ++item)
    if (ui->weekdayCombo->itemData(item, storedNameRole).toString() == toQt(stored))
      return ui->weekdayCombo->itemText(item);
  return toQt(stored);
}

void EntryDialog::enableScheduleControls(bool enable) {
  for (QRadioButton *button : scheduleButtons())
    button->setEnabled(enable);
  const std::array<QWidget *, 6> fields = {ui->minutesEdit, ui->hoursEdit,    ui->daysEdit,
                                           ui->weeksEdit,   ui->weekdayCombo, ui->dayOfMonthEdit};
  for (QWidget *control : fields)
    control->setEnabled(enable);
}

bool EntryDialog::isAddingMode() const {
  if (!oldCommand.empty())
    return false;
  // Add hands over the table's own name for a new entry, which is "New entry" only in English;
  // recognising the table's text as well keeps Add an add in every language.
  const std::string translated = texts.getText(text::newEntryName);
  return oldName == newEntryName || (!translated.empty() && oldName == translated);
}

void EntryDialog::OnInitDialog() {
  if (initialised)
    return;
  initialised = true;
  updateData(false);
  oldKind = kind;
  oldName = name;
  oldCommand = command;
  changed = false;
  scheduleChoice = 0;
  oldScheduleChoice = 0;
  // Loaded before the adding-mode test, which needs the table's name for a new entry.
  texts.load();
  addingMode = isAddingMode();
  if (addingMode) {
    changed = true;
    ui->deleteEntryButton->setEnabled(false);
  }
  if (kind == 0 || kind == 1)
    enableScheduleControls(false);
  if (!schedule.empty()) {
    takeScheduleValues(decodeSchedule(schedule));
    oldScheduleChoice = scheduleChoice;
    oldSchedule = schedule;
  }
  setCaptions();
  // Desktops list the entry by the name it shows: the title says which entry this is, while
  // the field keeps the entry's own name.
  if (!displayName.empty()) {
    setWindowTitle(toQt(displayName) + QStringLiteral(" \u2013 ") + windowTitle());
    ui->nameEdit->setToolTip(toQt(displayName));
  }
  updateData(false);
}

void EntryDialog::setCaptions() {
  nameLabel = texts.getText(text::nameLabel);
  commandLabel = texts.getText(text::pathLabel);
  ui->deleteEntryButton->setText(toQt(texts.getText(text::deleteThisEntry)));
  ui->cancelButton->setText(toQt(texts.getText(text::cancelButton)));
  ui->kindGroup->setTitle(toQt(texts.getText(text::kindGroup)));
  ui->nameAndPathGroup->setTitle(toQt(texts.getText(text::nameAndPathGroup)));
  ui->scheduleGroup->setTitle(toQt(texts.getText(text::startGroup)));
  const std::pair<QAbstractButton *, std::int32_t> buttons[] = {
      {ui->allUsersRadio, text::allUsersLabel},
      {ui->currentUserRadio, text::currentUserLabel},
      {ui->customizedRadio, text::customizedLabel},
      {ui->browseButton, text::browseButton},
      {ui->okButton, text::okButton}};
  for (const auto &[button, number] : buttons)
    button->setText(toQt(texts.getText(number)));
  const std::pair<QWidget *, std::int32_t> fields[] = {
      {ui->nameEdit, text::nameColumn},           {ui->commandEdit, text::pathField},
      {ui->minutesEdit, text::minutesField},      {ui->hoursEdit, text::minutesField + 1},
      {ui->daysEdit, text::minutesField + 2},     {ui->weeksEdit, text::minutesField + 3},
      {ui->weekdayCombo, text::minutesField + 4}, {ui->dayOfMonthEdit, text::minutesField + 5}};
  for (const auto &[field, number] : fields)
    field->setAccessibleName(toQt(texts.getText(number)));
  // Monday to Sunday, as the list has always shown them; the table counts from Sunday.
  for (int item = 0; item < ui->weekdayCombo->count() && item < 7; ++item) {
    if (!ui->weekdayCombo->itemData(item, storedNameRole).isValid())
      ui->weekdayCombo->setItemData(item, ui->weekdayCombo->itemText(item), storedNameRole);
    ui->weekdayCombo->setItemText(item, toQt(texts.getText(text::firstWeekday + (item + 1) % 7)));
  }
  std::int32_t number = text::firstScheduleLabel;
  for (QRadioButton *button : scheduleButtons()) {
    button->setText(toQt(texts.getText(number)));
    number += 5;
  }
}

int EntryDialog::exec() {
  OnInitDialog();
  return QDialog::exec();
}

void EntryDialog::showEvent(QShowEvent *event) {
  if (!initialised)
    guarded([this] { OnInitDialog(); });
  QDialog::showEvent(event);
}

ScheduleValues EntryDialog::scheduleValues() const {
  return {scheduleChoice, minutes, hours, days, weeks, weekday, dayOfMonth};
}

void EntryDialog::takeScheduleValues(const ScheduleValues &values) {
  scheduleChoice = values.choice;
  minutes = values.minutes;
  hours = values.hours;
  days = values.days;
  weeks = values.weeks;
  weekday = values.weekday;
  dayOfMonth = values.dayOfMonth;
}

void EntryDialog::OnAllUsers() {
  enableScheduleControls(false);
  changed = true;
}

void EntryDialog::OnCurrentUser() {
  enableScheduleControls(false);
  changed = true;
}

void EntryDialog::OnCustomized() {
  enableScheduleControls(true);
  changed = true;
}

void EntryDialog::OnBrowse() {
  updateData(true);
  if (auto path = system().fileChooser.chooseFile()) {
    command = *path;
    changed = true;
  }
  updateData(false);
}

void EntryDialog::OnDeleteEntry() {
  quiet = false;
  if (oldKind < 0 || oldKind > 2) {
    tellText(text::unknownKindRefused);
    return;
  }
  const bool customized = oldKind == static_cast<int>(EntryKind::Customized);
  const auto outcome = askAndRemove(
      *this, static_cast<EntryKind>(oldKind), oldName, oldCommand,
      [this, customized] {
        if (customized)
          announceCustomizedWrite();
      },
      oldView32);
  if (outcome == RemovalOutcome::Removed || outcome == RemovalOutcome::NothingToRemove) {
    changed = true;
    updateData(true);
    done(Accepted);
  }
}

void EntryDialog::accept() {
  guarded([this] { OnOK(); });
}

void EntryDialog::OnOK() {
  updateData(true);
  schedule = encodeSchedule(scheduleValues());
  if (kind != oldKind || name != oldName || command != oldCommand ||
      scheduleChoice != oldScheduleChoice || schedule != oldSchedule)
    changed = true;
  if (!changed) {
    done(Accepted);
    return;
  }
  const bool knownKind = kind >= 0 && kind <= 2;
  const EntryValues entry{knownKind ? static_cast<EntryKind>(kind) : EntryKind::CurrentUser, name,
                          command, schedule};
  std::optional<EntryValues> old;
  if (!addingMode && oldKind >= 0 && oldKind <= 2)
    old = EntryValues{static_cast<EntryKind>(oldKind), oldName, oldCommand, oldSchedule, oldView32};
  // The user corrects a refused entry while the dialog is still open.
  switch (refusalOf(system().startup, old, entry)) {
  case SaveOutcome::LineBreak:
    tellText(text::lineBreakRefused);
    return;
  case SaveOutcome::NoCommand:
    tellText(text::noCommandRefused);
    return;
  case SaveOutcome::NotUtf8:
    tellText(text::notUtf8Refused);
    return;
  case SaveOutcome::BadName:
    tellText(text::badNameRefused);
    return;
  case SaveOutcome::NameTooLong:
    tellText(text::nameTooLongRefused);
    return;
  case SaveOutcome::CommandTooLong:
    tellText(text::commandTooLongRefused);
    return;
  default:
    break;
  }
  // A rule that can never come due is a value missing, as an empty name is.
  if (entry.kind == EntryKind::Customized)
    if (const auto never = neverDue(schedule)) {
      QWidget *field = ui->onceADayRadio;
      std::int32_t question = text::ruleMissing;
      if (*never == NextStart::Never::NoWeekday)
        field = ui->weekdayCombo, question = text::weekdayMissing;
      else if (*never == NextStart::Never::NoSuchDay)
        field = ui->dayOfMonthEdit, question = text::dayOfMonthMissing;
      tellText(question);
      field->setFocus();
      return;
    }
  if (knownKind && nameUsed(*this, old, entry)) {
    tellText(text::nameUsedRefused);
    return;
  }
  const std::string question = addingMode ? texts.getText(text::addQuestion)
                                          : joined(texts.getText(text::changeQuestion),
                                                   texts.getText(text::changeQuestionDetail));
  if (!system().prompter.ask(question, caption)) {
    done(Accepted);
    return;
  }
  if (!addingMode && (oldKind < 0 || oldKind > 2)) {
    tellText(text::unknownKindRefused);
    return;
  }
  if (!knownKind) {
    tellText(text::saveFailed);
    // Nothing was removed for a new entry, so the user may pick another kind or name.
    if (addingMode)
      return;
    done(Accepted);
    return;
  }
  changed = true;
  switch (saveEntry(*this, old, entry, [this] { announceCustomizedWrite(); })) {
  case SaveOutcome::Saved:
    tellText(addingMode ? text::addedNotice : text::changedNotice);
    break;
  case SaveOutcome::NameUsed: // taken meanwhile; the user may choose another name
    tellText(text::nameUsedRefused);
    return;
  case SaveOutcome::NotRemoved:
    // The old entry is still in place; the user may try again or cancel.
    tellText(text::removeFailed);
    return;
  default:
    tellText(text::saveFailed);
    if (addingMode)
      return;
    break;
  }
  done(Accepted);
}

void EntryDialog::announceCustomizedWrite() {
  if (customizedWritten)
    customizedWritten();
}

void EntryDialog::tellText(std::int32_t number) {
  system().prompter.tell(texts.getText(number), caption);
}

void EntryDialog::reportFileError(const FileError &error) {
  system().prompter.tell(fileErrorMessage(error, texts), caption);
}

void EntryDialog::guarded(const std::function<void()> &handler) {
  try {
    handler();
  } catch (const FileError &error) {
    reportFileError(error);
  } catch (const std::bad_alloc &) {
    system().prompter.tell(outOfMemoryMessage(texts), caption);
  }
}

} // namespace lw
