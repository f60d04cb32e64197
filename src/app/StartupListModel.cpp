#include "StartupListModel.h"

#include "entries/StartupStatus.h"

#include <algorithm>

namespace lw {

StartupListModel::StartupListModel(const LanguageTable &table, QObject *parent)
    : QAbstractTableModel(parent), texts(table) {}

void StartupListModel::setHeaders(QStringList titles) {
  beginResetModel();
  headers = std::move(titles);
  for (const EntryKind kind : {EntryKind::AllUsers, EntryKind::CurrentUser, EntryKind::Customized})
    kindLabels[static_cast<std::size_t>(kind)] = QString::fromUtf8(kindLabel(kind, texts));
  endResetModel();
}

void StartupListModel::setRows(std::vector<StartupEntry> rows) {
  beginResetModel();
  entries = std::move(rows);
  timed.assign(entries.size(), false);
  endResetModel();
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

QVariant StartupListModel::nameTip(const StartupEntry &entry) {
  if (entry.displayName.empty())
    return {};
  return QString::fromUtf8(entry.name);
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
      return kindLabels[static_cast<std::size_t>(entry.kind)];
    case 2:
      return QString::fromUtf8(entry.command);
    default:
      return QString::fromUtf8(entryStatus(described(index.row()), texts).text);
    }
  }
  if (index.column() == 0 && role == Qt::ToolTipRole)
    return nameTip(entry);
  if (index.column() != statusColumn)
    return {};
  switch (role) {
  case Qt::ToolTipRole:
  case Qt::AccessibleDescriptionRole:
    return QString::fromUtf8(entryStatus(described(index.row()), texts).reason);
  case verdictRole:
    return static_cast<int>(entry.verdict);
  default:
    return {};
  }
}

QVariant StartupListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
      section < headers.size())
    return headers[section];
  return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace lw
