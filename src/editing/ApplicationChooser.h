#pragma once
// The list of installed applications that Choose Application opens: a filter line over a list
// of each application's icon, name and comment. OK (or Enter, or a double click) takes the
// selected one.

#include "platform/Applications.h"
#include "support/LanguageTable.h"

#include <QDialog>

#include <optional>
#include <vector>

class QLineEdit;
class QListView;
class QSortFilterProxyModel;
class QStandardItemModel;

namespace lw {

class ApplicationChooser : public QDialog {
  Q_OBJECT

public:
  ApplicationChooser(std::vector<InstalledApplication> applications, const LanguageTable &texts,
                     QWidget *parent = nullptr);

  // The application selected when OK was pressed; nothing before, or when none was.
  const std::optional<InstalledApplication> &chosen() const { return choice; }

public slots:
  void accept() override;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void selectFirst();

  std::vector<InstalledApplication> applications;
  std::optional<InstalledApplication> choice;
  QLineEdit *filterEdit;
  QListView *listView;
  QStandardItemModel *model;
  QSortFilterProxyModel *filtered;
};

} // namespace lw
