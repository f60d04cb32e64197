#include "ChangesDialog.h"

#include "scheduler/ScheduleStatus.h"
#include "support/TextNumbers.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace lw {

namespace {

// The record's index in `shown`, beside each row; the time sorts by its UTC text.
constexpr int recordRole = Qt::UserRole + 1;
constexpr int sortRole = Qt::UserRole + 2;

constexpr std::int32_t columnTexts[] = {text::changeTimeColumn,   text::changeKindColumn,
                                        text::changeNameColumn,   text::changeColumn,
                                        text::changeBeforeColumn, text::changeAfterColumn,
                                        text::changeByColumn,     text::changeActionColumn};

QString wordText(const std::string &word, const LanguageTable &texts,
                 std::initializer_list<std::pair<const char *, std::int32_t>> words) {
  for (const auto &[known, number] : words)
    if (word == known)
      return QString::fromStdString(texts.getText(number));
  return QString::fromStdString(word);
}

} // namespace

QString changeWordText(const std::string &word, const LanguageTable &texts) {
  return wordText(word, texts,
                  {{change::added, text::changeAddedWord},
                   {change::removed, text::changeRemovedWord},
                   {change::commandChanged, text::changeCommandWord},
                   {change::switchedOff, text::changeSwitchedOffWord},
                   {change::switchedOn, text::changeSwitchedOnWord}});
}

QString byWordText(const std::string &word, const LanguageTable &texts) {
  return wordText(word, texts,
                  {{changeBy::window, text::byWindowWord},
                   {changeBy::commandLine, text::byCommandLineWord},
                   {changeBy::timer, text::byTimerWord},
                   {changeBy::other, text::byOtherWord}});
}

QString actionWordText(const std::string &word, const LanguageTable &texts) {
  if (word.empty())
    return {};
  return wordText(word, texts,
                  {{changeAction::kept, text::actionKeptWord},
                   {changeAction::switchedOff, text::actionSwitchedOffWord},
                   {changeAction::removed, text::actionRemovedWord}});
}

QString changeTimeText(const std::string &time, const LanguageTable &texts) {
  constexpr std::string_view before = "before ";
  const bool found = time.starts_with(before);
  const QString utc = QString::fromStdString(found ? time.substr(before.size()) : time);
  const QDateTime at = QDateTime::fromString(utc, Qt::ISODate);
  const QString local =
      at.isValid() ? at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : utc;
  if (!found)
    return local;
  return QString::fromStdString(fillIn(texts.getText(text::beforeTime), {local.toStdString()}));
}

ChangesDialog::ChangesDialog(const LanguageTable &table,
                             std::function<std::string(const std::string &)> labelOfKind,
                             QWidget *parent)
    : QDialog(parent), texts(table), kindLabel(std::move(labelOfKind)) {
  setObjectName(QStringLiteral("changesDialog"));
  setWindowTitle(text(text::menuStartupChanges).remove(QLatin1Char('&')));
  resize(900, 420);

  filter = new QLineEdit(this);
  filter->setObjectName(QStringLiteral("changeFilter"));
  filter->setClearButtonEnabled(true);
  filter->setPlaceholderText(text(text::filterPrompt));
  filter->setAccessibleName(text(text::changeFilterName));

  model = new QStandardItemModel(0, static_cast<int>(std::size(columnTexts)), this);
  for (int column = 0; column < model->columnCount(); ++column)
    model->setHeaderData(column, Qt::Horizontal, text(columnTexts[column]));
  filtered = new QSortFilterProxyModel(this);
  filtered->setSourceModel(model);
  filtered->setSortRole(sortRole);
  filtered->setFilterKeyColumn(-1);
  filtered->setFilterCaseSensitivity(Qt::CaseInsensitive);
  connect(filter, &QLineEdit::textChanged, filtered, &QSortFilterProxyModel::setFilterFixedString);

  view = new QTreeView(this);
  view->setObjectName(QStringLiteral("changeList"));
  view->setAccessibleName(text(text::changeListName));
  view->setModel(filtered);
  view->setRootIsDecorated(false);
  view->setUniformRowHeights(true);
  view->setSortingEnabled(true);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->sortByColumn(0, Qt::DescendingOrder);
  view->header()->setStretchLastSection(true);

  auto *buttons = new QDialogButtonBox(this);
  switchOff = buttons->addButton(text(text::switchOffAction), QDialogButtonBox::ActionRole);
  switchOff->setObjectName(QStringLiteral("switchOffButton"));
  remove = buttons->addButton(text(text::removeAction), QDialogButtonBox::ActionRole);
  remove->setObjectName(QStringLiteral("removeButton"));
  QPushButton *close = buttons->addButton(text(text::closeButton), QDialogButtonBox::RejectRole);
  close->setObjectName(QStringLiteral("closeButton"));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(switchOff, &QPushButton::clicked, this, [this] {
    if (const auto record = selected())
      emit switchOffAsked(*record);
  });
  connect(remove, &QPushButton::clicked, this, [this] {
    if (const auto record = selected())
      emit removeAsked(*record);
  });
  connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this] { updateButtons(); });

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(filter);
  layout->addWidget(view);
  layout->addWidget(buttons);
  setTabOrder(filter, view);
  updateButtons();
}

QString ChangesDialog::text(std::int32_t number) const {
  return QString::fromStdString(texts.getText(number));
}

void ChangesDialog::setRecords(const std::vector<ChangeRecord> &records) {
  const auto before = selected();
  shown = records;
  model->removeRows(0, model->rowCount());
  int selectRow = -1;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const ChangeRecord &record = shown[i];
    const QString cells[] = {
        changeTimeText(record.time, texts), QString::fromStdString(kindLabel(record.kind)),
        QString::fromUtf8(record.name),     changeWordText(record.change, texts),
        QString::fromUtf8(record.before),   QString::fromUtf8(record.after),
        byWordText(record.by, texts),       actionWordText(record.action, texts)};
    QList<QStandardItem *> row;
    for (std::size_t column = 0; column < std::size(cells); ++column) {
      auto *item = new QStandardItem(cells[column]);
      item->setData(static_cast<qulonglong>(i), recordRole);
      // The time sorts as the journal writes it (UTC, one form), then by its number.
      item->setData(column == 0 ? QVariant(static_cast<qulonglong>(record.number))
                                : QVariant(cells[column]),
                    sortRole);
      row << item;
    }
    model->appendRow(row);
    if (before && before->number == record.number)
      selectRow = static_cast<int>(i);
  }
  if (selectRow >= 0)
    view->setCurrentIndex(filtered->mapFromSource(model->index(selectRow, 0)));
  for (int column = 0; column < model->columnCount() - 1; ++column)
    view->resizeColumnToContents(column);
  updateButtons();
}

std::optional<ChangeRecord> ChangesDialog::selected() const {
  const QModelIndex current = view->currentIndex();
  if (!current.isValid())
    return std::nullopt;
  const auto index = current.data(recordRole).toULongLong();
  if (index >= shown.size())
    return std::nullopt;
  return shown[index];
}

void ChangesDialog::updateButtons() {
  const auto record = selected();
  // An entry that went has nothing left to switch off or remove.
  const bool there = record && record->change != change::removed;
  switchOff->setEnabled(there);
  remove->setEnabled(there);
}

} // namespace lw
