#include "StartupListModel.h"

#include "entries/LogonRows.h"

#include "entries/StartupStatus.h"
#include "scheduler/ScheduleStatus.h"
#include "support/TextNumbers.h"

#include <QApplication>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <iterator>
#include <numeric>

namespace lw {

StartupListModel::StartupListModel(const LanguageTable &table, QObject *parent)
    : QAbstractTableModel(parent), texts(table) {}

void StartupListModel::setHeaders(QStringList titles) {
  beginResetModel();
  headers = std::move(titles);
  for (const EntryKind kind : {EntryKind::AllUsers, EntryKind::CurrentUser, EntryKind::Customized})
    kindLabels[static_cast<std::size_t>(kind)] = QString::fromUtf8(kindLabel(kind, texts));
  kindLabels[view32Label] = QString::fromUtf8(texts.getText(text::allUsers32Label));
  endResetModel();
}

void StartupListModel::setLastLogon(std::optional<LogonRecording> logon) {
  lastLogon = std::move(logon);
  if (rowCount() > 0 && columnCount() > impactColumn)
    emit dataChanged(index(0, impactColumn), index(rowCount() - 1, impactColumn));
}

QVariant StartupListModel::impactData(const StartupEntry &entry, int role) const {
  const EntryImpact impact = impactOf(entry, lastLogon ? &*lastLogon : nullptr);
  if (role == Qt::DisplayRole)
    return QString::fromUtf8(texts.getText(text::impactHigh + static_cast<int>(impact.level)));
  if (role == impactRankRole) // heaviest first, then by CPU
  {
    constexpr std::uint64_t most = 999'999'999'999;
    const std::uint64_t cpu = impact.cost && impact.cost->cpuMs ? *impact.cost->cpuMs : 0;
    return static_cast<qlonglong>(static_cast<std::uint64_t>(impact.level) * (most + 1) + most -
                                  std::min(cpu, most));
  }
  if (role != Qt::ToolTipRole && role != Qt::AccessibleDescriptionRole)
    return {};
  if (impact.level == ImpactLevel::None)
    return {};
  if (impact.level == ImpactLevel::NotMeasured)
    return QString::fromUtf8(fillIn(texts.getText(text::impactNotMeasuredTip), {impact.reason}));
  const auto figure = [](const std::optional<std::uint64_t> &value) {
    return value ? std::to_string(*value) : std::string("-");
  };
  const auto &cost = *impact.cost;
  const std::string after =
      cost.startedAfterMs ? std::to_string(*cost.startedAfterMs / 1000) : std::string("-");
  return QString::fromUtf8(
      fillIn(texts.getText(text::impactTip),
             {figure(cost.cpuMs), figure(cost.diskBytes), after, isoTime(*impact.sessionStart)}));
}

void StartupListModel::setRows(std::vector<StartupEntry> rows) {
  beginResetModel();
  entries = std::move(rows);
  timed.assign(entries.size(), false);
  icons.assign(entries.size(), QIcon());
  readOrder.resize(entries.size());
  std::iota(readOrder.begin(), readOrder.end(), 0);
  if (sortColumn >= 0)
    arrange();
  endResetModel();
}

void StartupListModel::setLogonRows(std::vector<StartupEntry> logonRows) {
  std::vector<std::size_t> order(entries.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(),
            [this](std::size_t a, std::size_t b) { return readOrder[a] < readOrder[b]; });
  std::vector<StartupEntry> rows;
  rows.reserve(entries.size() + logonRows.size());
  for (const std::size_t row : order)
    if (!entries[row].logon)
      rows.push_back(std::move(entries[row]));
  std::move(logonRows.begin(), logonRows.end(), std::back_inserter(rows));
  setRows(std::move(rows));
}

void StartupListModel::statusChanged(int first, int last) {
  first = std::max(first, 0);
  last = std::min(last, rowCount() - 1);
  if (first > last)
    return;
  std::fill(timed.begin() + first, timed.begin() + last + 1, false);
  if (columnCount() > statusColumn)
    emit dataChanged(index(first, statusColumn), index(last, statusColumn));
}

const StartupEntry &StartupListModel::described(int row) const {
  StartupEntry &entry = entries[static_cast<std::size_t>(row)];
  if (!timed[static_cast<std::size_t>(row)]) {
    timed[static_cast<std::size_t>(row)] = true;
    if (entry.kind == EntryKind::Customized && timing)
      timing(entry);
  }
  return entry;
}

QString StartupListModel::nameShown(const StartupEntry &entry) {
  return QString::fromUtf8(shownName(entry));
}

QVariant StartupListModel::nameTip(const StartupEntry &entry) const {
  QStringList lines;
  if (!entry.displayName.empty())
    lines.append(QString::fromUtf8(entry.name));
  if (const std::string company = publisher ? publisher(entry) : std::string(); !company.empty())
    lines.append(QString::fromUtf8(fillIn(texts.getText(text::publisherTip), {company})));
  if (lines.isEmpty())
    return {};
  return lines.join(QLatin1Char('\n'));
}

QString StartupListModel::cellText(int row, int column) const {
  return data(index(row, column), Qt::DisplayRole).toString();
}

int StartupListModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries.size());
}

int StartupListModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headers.size());
}

QVariant StartupListModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
    return {};
  const StartupEntry &entry = entries[static_cast<std::size_t>(index.row())];
  if (role == Qt::DisplayRole) {
    switch (index.column()) {
    case 0:
      return nameShown(entry);
    case 1:
      return entry.logon
                 ? QString::fromUtf8(logonKindLabel(entry.logon->source, texts))
                 : kindLabels[entry.view32 ? view32Label : static_cast<std::size_t>(entry.kind)];
    case 2:
      return QString::fromUtf8(entry.command);
    case impactColumn:
      return impactData(entry, role);
    default:
      return QString::fromUtf8(entryStatus(described(index.row()), texts).text);
    }
  }
  if (index.column() == 0 && role == Qt::ToolTipRole)
    return nameTip(entry);
  if (index.column() == 0 && role == Qt::DecorationRole && iconSource) {
    if (const QIcon &looked = icons[static_cast<std::size_t>(index.row())]; !looked.isNull())
      return looked;
    // Nothing until the pass has looked it up: not even an empty picture costs the first paint.
    if (iconsStarted)
      queueIconPass();
    return {};
  }
  if (index.column() == impactColumn)
    return impactData(entry, role);
  if (index.column() != statusColumn)
    return {};
  switch (role) {
  case Qt::DecorationRole:
    return statusIcon(entry.verdict);
  case Qt::ToolTipRole:
  case Qt::AccessibleDescriptionRole:
    return QString::fromUtf8(entryStatus(described(index.row()), texts).reason);
  case verdictRole:
    return static_cast<int>(entry.verdict);
  default:
    return {};
  }
}

bool StartupListModel::iconsPending() const {
  return iconPassQueued ||
         std::any_of(icons.begin(), icons.end(), [](const QIcon &icon) { return icon.isNull(); });
}

void StartupListModel::startIcons() {
  if (iconsStarted)
    return;
  iconsStarted = true;
  queueIconPass();
}

void StartupListModel::queueIconPass() const {
  // Asked while the list is drawn: the pass runs once that drawing is done.
  if (iconPassQueued)
    return;
  iconPassQueued = true;
  QTimer::singleShot(0, const_cast<StartupListModel *>(this), &StartupListModel::loadIcons);
}

void StartupListModel::loadIcons() {
  iconPassQueued = false;
  if (!iconSource)
    return;
  // A batch small enough that the window answers input between batches.
  constexpr int batch = 16;
  int first = -1;
  int last = -1;
  for (std::size_t row = 0; row < icons.size() && (last - first) < batch; ++row) {
    if (!icons[row].isNull())
      continue;
    icons[row] = iconSource(entries[row]);
    if (first < 0)
      first = static_cast<int>(row);
    last = static_cast<int>(row);
  }
  if (first < 0)
    return;
  emit dataChanged(index(first, 0), index(last, 0), {Qt::DecorationRole});
  if (std::any_of(icons.begin() + last, icons.end(),
                  [](const QIcon &icon) { return icon.isNull(); }))
    queueIconPass();
}

QIcon StartupListModel::statusIcon(StartVerdict verdict) const {
  // A glance tells the three apart; the word beside the icon says which verdict it is.
  const std::size_t kind = verdict == StartVerdict::Starts     ? 0
                           : verdict == StartVerdict::Disabled ? 1
                                                               : 2;
  if (statusIcons[kind].isNull()) {
    static constexpr QStyle::StandardPixmap pictures[] = {
        QStyle::SP_DialogApplyButton, QStyle::SP_MediaPause, QStyle::SP_MessageBoxWarning};
    statusIcons[kind] = QApplication::style()->standardIcon(pictures[kind]);
  }
  return statusIcons[kind];
}

std::vector<int> StartupListModel::arrange() {
  std::vector<int> order(entries.size()); // new place -> old place
  std::iota(order.begin(), order.end(), 0);
  if (sortColumn < 0) {
    std::sort(order.begin(), order.end(), [this](int a, int b) {
      return readOrder[static_cast<std::size_t>(a)] < readOrder[static_cast<std::size_t>(b)];
    });
  } else {
    std::vector<QString> keys(entries.size());
    for (std::size_t row = 0; row < entries.size(); ++row)
      keys[row] = sortColumn == impactColumn
                      ? QString::number(impactData(entries[row], impactRankRole).toLongLong())
                            .rightJustified(20, QLatin1Char('0'))
                      : cellText(static_cast<int>(row), sortColumn);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      const int compared = QString::compare(keys[static_cast<std::size_t>(a)],
                                            keys[static_cast<std::size_t>(b)], Qt::CaseInsensitive);
      return sortOrder == Qt::AscendingOrder ? compared < 0 : compared > 0;
    });
  }
  const auto permuted = [&order](auto &values) {
    auto old = std::move(values);
    values.clear();
    values.reserve(order.size());
    for (const int from : order)
      values.push_back(std::move(old[static_cast<std::size_t>(from)]));
  };
  permuted(entries);
  permuted(timed);
  permuted(icons);
  permuted(readOrder);
  return order;
}

void StartupListModel::sort(int column, Qt::SortOrder order) {
  sortColumn = column < columnCount() ? column : -1;
  sortOrder = order;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const std::vector<int> from = arrange();
  std::vector<int> to(from.size()); // old place -> new place
  for (std::size_t row = 0; row < from.size(); ++row)
    to[static_cast<std::size_t>(from[row])] = static_cast<int>(row);
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  for (const QModelIndex &index : before)
    after.append(index.isValid()
                     ? this->index(to[static_cast<std::size_t>(index.row())], index.column())
                     : index);
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QVariant StartupListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
      section < headers.size())
    return headers[section];
  return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace lw
