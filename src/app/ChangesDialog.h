#pragma once
// View > Startup Changes: the change journal as a list that sorts by any column and filters on
// any text, with Switch Off and Remove for the entry of the selected change.

#include "storage/ChangeJournal.h"
#include "support/LanguageTable.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTreeView;

namespace lw {

class ChangesDialog : public QDialog {
  Q_OBJECT

public:
  // `kindLabel` gives the Kind column's words for a record's kind word.
  ChangesDialog(const LanguageTable &texts,
                std::function<std::string(const std::string &)> kindLabel,
                QWidget *parent = nullptr);

  // Shows these records, newest first until the user sorts otherwise; the selected record
  // stays selected where it still is.
  void setRecords(const std::vector<ChangeRecord> &records);
  // The record of the selected row.
  std::optional<ChangeRecord> selected() const;
  QTreeView *list() const { return view; }

signals:
  void switchOffAsked(const ChangeRecord &record);
  void removeAsked(const ChangeRecord &record);

private:
  void updateButtons();
  QString text(std::int32_t number) const;

  const LanguageTable &texts;
  std::function<std::string(const std::string &)> kindLabel;
  std::vector<ChangeRecord> shown;
  QStandardItemModel *model;
  QSortFilterProxyModel *filtered;
  QTreeView *view;
  QLineEdit *filter;
  QPushButton *switchOff;
  QPushButton *remove;
};

// The Change, By and Action columns' words for the journal's words; the word itself where the
// language has none for it.
QString changeWordText(const std::string &word, const LanguageTable &texts);
QString byWordText(const std::string &word, const LanguageTable &texts);
QString actionWordText(const std::string &word, const LanguageTable &texts);
// A record's time in the user's local time; "before" and the time for a change found at a start.
QString changeTimeText(const std::string &time, const LanguageTable &texts);

} // namespace lw
