#include "EntryDialog.h"

#include "ui_EntryDialog.h"

#include "ApplicationChooser.h"

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

int checkedIndex(const std::array<QRadioButton *, 11> &buttons) {
  for (std::size_t i = 0; i < buttons.size(); ++i)
    if (buttons[i]->isChecked())
      return static_cast<int>(i);
  return -1;
}

// An auto-exclusive radio button cannot be unchecked directly, and -1 means none is selected.
void checkIndex(const std::array<QRadioButton *, 11> &buttons, int index) {
  for (std::size_t i = 0; i < buttons.size(); ++i) {
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

// The notice for what refusalOf refuses before anything is asked; nothing for an entry that may
// be saved.
std::optional<std::int32_t> refusalNotice(SaveOutcome refusal) {
  switch (refusal) {
  case SaveOutcome::LineBreak:
    return text::lineBreakRefused;
  case SaveOutcome::NoCommand:
    return text::noCommandRefused;
  case SaveOutcome::NotUtf8:
    return text::notUtf8Refused;
  case SaveOutcome::BadName:
    return text::badNameRefused;
  case SaveOutcome::NameTooLong:
    return text::nameTooLongRefused;
  case SaveOutcome::CommandTooLong:
    return text::commandTooLongRefused;
  default:
    return std::nullopt;
  }
}

} // namespace

EntryDialog::EntryDialog(const Platform &system, EntryForm opened, EntryFormActions carried,
                         QWidget *parent)
    : QDialog(parent), platform(system), form(std::move(opened)), actions(std::move(carried)),
      texts(system), current(form.entry), ui(std::make_unique<Ui::EntryDialog>()) {
  // No start rule is chosen until the dialog opens.
  rule.choice = -1;
  ui->setupUi(this);
  connect(ui->browseButton, &QPushButton::clicked, this,
          [this] { guarded([this] { OnBrowse(); }); });
  connect(ui->chooseApplicationButton, &QPushButton::clicked, this,
          [this] { guarded([this] { OnChooseApplication(); }); });
  connect(ui->allUsersRadio, &QRadioButton::clicked, this, [this] { OnAllUsers(); });
  connect(ui->currentUserRadio, &QRadioButton::clicked, this, [this] { OnCurrentUser(); });
  connect(ui->customizedRadio, &QRadioButton::clicked, this, [this] { OnCustomized(); });
  connect(ui->deleteEntryButton, &QPushButton::clicked, this,
          [this] { guarded([this] { OnDeleteEntry(); }); });
  connect(ui->okButton, &QPushButton::clicked, this, &EntryDialog::accept);
  connect(ui->cancelButton, &QPushButton::clicked, this, &EntryDialog::reject);
}

EntryDialog::~EntryDialog() = default;

std::array<EntryDialog::KindButton, 3> EntryDialog::kindButtons() const {
  return {{{ui->allUsersRadio, EntryKind::AllUsers},
           {ui->currentUserRadio, EntryKind::CurrentUser},
           {ui->customizedRadio, EntryKind::Customized}}};
}

std::array<QRadioButton *, 11> EntryDialog::scheduleButtons() const {
  return {ui->onceADayRadio,   ui->everySecondDayRadio, ui->onceAWeekRadio,   ui->onceAMonthRadio,
          ui->onceAYearRadio,  ui->everyMinutesRadio,   ui->everyHoursRadio,  ui->everyDaysRadio,
          ui->everyWeeksRadio, ui->onlyOnWeekdayRadio,  ui->onDayOfMonthRadio};
}

void EntryDialog::updateData(bool saveAndValidate) {
  if (saveAndValidate) {
    for (const auto &[button, kind] : kindButtons())
      if (button->isChecked())
        current.kind = kind;
    rule.choice = checkedIndex(scheduleButtons());
    current.name = keptBytes(ui->nameEdit->text(), form.entry.name);
    current.command = keptBytes(ui->commandEdit->text(), form.entry.command);
    rule.weekday = storedWeekday(ui->weekdayCombo->currentText());
    rule.dayOfMonth = fromQt(ui->dayOfMonthEdit->text());
    rule.days = fromQt(ui->daysEdit->text());
    rule.hours = fromQt(ui->hoursEdit->text());
    rule.minutes = fromQt(ui->minutesEdit->text());
    rule.weeks = fromQt(ui->weeksEdit->text());
    return;
  }
  // The limits keep every field of the stored start rule at its width, whatever is pasted.
  ui->dayOfMonthEdit->setMaxLength(static_cast<int>(scheduleWidth::dayOfMonth));
  ui->daysEdit->setMaxLength(static_cast<int>(scheduleWidth::days));
  ui->hoursEdit->setMaxLength(static_cast<int>(scheduleWidth::hours));
  ui->minutesEdit->setMaxLength(static_cast<int>(scheduleWidth::minutes));
  ui->weeksEdit->setMaxLength(static_cast<int>(scheduleWidth::weeks));
  for (const auto &[button, kind] : kindButtons())
    if (kind == current.kind)
      button->setChecked(true);
  checkIndex(scheduleButtons(), rule.choice);
  ui->nameEdit->setText(toQt(current.name));
  ui->commandEdit->setText(toQt(current.command));
  ui->weekdayCombo->setCurrentIndex(-1);
  ui->weekdayCombo->setEditText(shownWeekday(rule.weekday));
  ui->dayOfMonthEdit->setText(toQt(rule.dayOfMonth));
  ui->daysEdit->setText(toQt(rule.days));
  ui->hoursEdit->setText(toQt(rule.hours));
  ui->minutesEdit->setText(toQt(rule.minutes));
  ui->weeksEdit->setText(toQt(rule.weeks));
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

bool EntryDialog::isAddingMode(const EntryValues &entry, const LanguageTable &texts) {
  if (!entry.command.empty())
    return false;
  // Add hands over the table's own name for a new entry, which is "New entry" only in English;
  // recognising the table's text as well keeps Add an add in every language.
  const std::string translated = texts.getText(text::newEntryName);
  return entry.name == newEntryName || (!translated.empty() && entry.name == translated);
}

void EntryDialog::OnInitDialog() {
  if (initialised)
    return;
  initialised = true;
  updateData(false);
  changedFlag = false;
  rule.choice = 0;
  openedRuleChoice = 0;
  texts.load();
  ui->chooseApplicationButton->setEnabled(platform.applications != nullptr);
  if (form.adding) {
    changedFlag = true;
    ui->deleteEntryButton->setEnabled(false);
  }
  if (form.entry.kind != EntryKind::Customized)
    enableScheduleControls(false);
  if (!form.entry.schedule.empty()) {
    rule = decodeSchedule(form.entry.schedule);
    openedRuleChoice = rule.choice;
  }
  setCaptions();
  // Desktops list the entry by the name it shows: the title says which entry this is, while
  // the field keeps the entry's own name.
  if (!form.displayName.empty()) {
    setWindowTitle(toQt(form.displayName) + QStringLiteral(" \u2013 ") + windowTitle());
    ui->nameEdit->setToolTip(toQt(form.displayName));
  }
  // An entry of the machine's 32-bit Run key (Windows) may share its name with one of the usual
  // key: the title says which of the two is open.
  if (form.entry.view32)
    setWindowTitle(windowTitle() + QStringLiteral(" ") + toQt(texts.getText(text::view32Mark)));
  updateData(false);
}

void EntryDialog::setCaptions() {
  ui->nameLabel->setText(toQt(texts.getText(text::nameLabel)));
  ui->commandLabel->setText(toQt(texts.getText(text::pathLabel)));
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
      {ui->chooseApplicationButton, text::chooseApplicationButton},
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

void EntryDialog::OnAllUsers() {
  enableScheduleControls(false);
  changedFlag = true;
}

void EntryDialog::OnCurrentUser() {
  enableScheduleControls(false);
  changedFlag = true;
}

void EntryDialog::OnCustomized() {
  enableScheduleControls(true);
  changedFlag = true;
}

void EntryDialog::OnBrowse() {
  updateData(true);
  if (auto path = platform.fileChooser.chooseFile()) {
    current.command = *path;
    changedFlag = true;
  }
  updateData(false);
}

void EntryDialog::OnChooseApplication() {
  if (!platform.applications)
    return;
  updateData(true);
  ApplicationChooser chooser(platform.applications->list(), texts, this);
  if (chooser.exec() != Accepted || !chooser.chosen())
    return;
  const InstalledApplication &application = *chooser.chosen();
  current.name = application.name;
  current.command = application.command;
  current.application = application.id;
  changedFlag = true;
  updateData(false);
}

void EntryDialog::OnDeleteEntry() {
  // The entry as it was when the dialog opened, whatever the fields hold now.
  if (actions.remove && actions.remove(form.entry)) {
    changedFlag = true;
    updateData(true);
    done(Accepted);
  }
}

void EntryDialog::accept() {
  guarded([this] { OnOK(); });
}

bool EntryDialog::confirmed(const std::optional<EntryValues> &old, const EntryValues &entry) {
  // The user corrects a refused entry while the dialog is still open.
  if (const auto notice = refusalNotice(refusalOf(platform.startup, old, entry))) {
    tellText(*notice);
    return false;
  }
  // A rule that can never come due is a value missing, as an empty name is.
  if (entry.kind == EntryKind::Customized)
    if (const auto never = neverDue(entry.schedule)) {
      QWidget *field = ui->onceADayRadio;
      std::int32_t question = text::ruleMissing;
      if (*never == NextStart::Never::NoWeekday)
        field = ui->weekdayCombo, question = text::weekdayMissing;
      else if (*never == NextStart::Never::NoSuchDay)
        field = ui->dayOfMonthEdit, question = text::dayOfMonthMissing;
      tellText(question);
      field->setFocus();
      return false;
    }
  EntryStore store(platform);
  if (nameUsed(store, old, entry)) {
    tellText(text::nameUsedRefused);
    return false;
  }
  const std::string question = form.adding ? texts.getText(text::addQuestion)
                                           : joined(texts.getText(text::changeQuestion),
                                                    texts.getText(text::changeQuestionDetail));
  if (!platform.prompter.ask(question, EntryStore::caption)) {
    done(Accepted);
    return false;
  }
  return true;
}

void EntryDialog::OnOK() {
  updateData(true);
  EntryValues entry = current;
  entry.schedule = encodeSchedule(rule);
  entry.view32 = false;
  const EntryValues &opened = form.entry;
  if (entry.kind != opened.kind || entry.name != opened.name || entry.command != opened.command ||
      rule.choice != openedRuleChoice || entry.schedule != opened.schedule)
    changedFlag = true;
  if (!changedFlag) {
    done(Accepted);
    return;
  }
  std::optional<EntryValues> old;
  if (!form.adding)
    old = opened;
  if (!confirmed(old, entry))
    return;
  const SaveOutcome saved = actions.save(old, entry);
  switch (saved) {
  case SaveOutcome::Saved:
    tellText(form.adding ? text::addedNotice : text::changedNotice);
    break;
  case SaveOutcome::NameUsed: // taken meanwhile; the user may choose another name
    tellText(text::nameUsedRefused);
    return;
  case SaveOutcome::NotRemoved:
    // The old entry is still in place; the user may try again or cancel.
    tellText(text::removeFailed);
    return;
  default: {
    std::string notice = texts.getText(text::saveFailed);
    // The file it could not write: the user may fix its folder's rights and try again.
    if (saved == SaveOutcome::WriteFailed && entry.kind != EntryKind::Customized)
      if (const auto file = platform.startup.entryFile(rootOf(entry.kind), entry.name);
          !file.empty())
        notice += "\n\n" + file;
    platform.prompter.tell(notice, EntryStore::caption);
    // Nothing was removed for a new entry, so the user may pick another kind or name.
    if (form.adding)
      return;
    break;
  }
  }
  done(Accepted);
}

void EntryDialog::tellText(std::int32_t number) {
  platform.prompter.tell(texts.getText(number), EntryStore::caption);
}

void EntryDialog::reportFileError(const FileError &error) {
  platform.prompter.tell(fileErrorMessage(error, texts), EntryStore::caption);
}

void EntryDialog::guarded(const std::function<void()> &handler) {
  try {
    handler();
  } catch (const FileError &error) {
    reportFileError(error);
  } catch (const std::bad_alloc &) {
    platform.prompter.tell(outOfMemoryMessage(texts), EntryStore::caption);
  }
}

} // namespace lw
