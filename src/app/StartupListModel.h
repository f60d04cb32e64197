#pragma once
// The main window's list as a model over the rows themselves: a view asks only for the cells it
// shows, so a list of a hundred thousand entries costs no more to show than one of twenty, and
// the rows are held once, as the exact bytes read, not again as widget items.

#include "entries/StartupImpact.h"
#include "entries/StartupList.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>

#include <array>
#include <functional>
#include <vector>

namespace lw {

class StartupListModel : public QAbstractTableModel {
public:
  // What the entry cost at the last recorded logon; before Status, which takes the room left.
  static constexpr int impactColumn = 3;
  static constexpr int statusColumn = 4;
  // The row's verdict, as an int, in the Status column: the list's menu offers Disable or
  // Enable by it.
  static constexpr int verdictRole = Qt::UserRole;
  // The Impact column's order: heaviest level first, then most CPU.
  static constexpr int impactRankRole = Qt::UserRole + 1;

  StartupListModel(const LanguageTable &texts, QObject *parent = nullptr);

  // The column titles; the list has as many columns as titles, none before they are set.
  void setHeaders(QStringList titles);
  // What sets a customized row's timings. It is asked only when the row's Status is first
  // wanted, so a long list in the tray works out none, and a shown one only the rows in view.
  using Timing = std::function<void(StartupEntry &)>;
  void setTiming(Timing source) { timing = std::move(source); }
  // Who published a row's program; asked only when the row's name tip is wanted, since reading
  // a program's version information for every row would slow the start.
  using Publisher = std::function<std::string(const StartupEntry &)>;
  void setPublisher(Publisher source) { publisher = std::move(source); }

  // The picture at the start of a row; asked only after the list is first drawn, a few rows
  // at a time while nothing else is waiting, so that no icon lookup delays the window.
  using IconSource = std::function<QIcon(const StartupEntry &)>;
  void setIconSource(IconSource source) { iconSource = std::move(source); }
  // Looking up begins when the list is first painted: a view asks for a row's picture already
  // while it lays the list out, before anything is on the screen.
  void startIcons();
  // Rows whose icon is not looked up yet, and whether a pass to look them up is waiting.
  bool iconsPending() const;

  // The last recorded logon, whose figures the Impact column shows; none: nothing recorded.
  void setLastLogon(std::optional<LogonRecording> logon);

  // Replaces every row; views forget their selection.
  void setRows(std::vector<StartupEntry> entries);
  // Replaces the rows of the other ways a program starts (those with a logon item) and keeps the
  // others in the order they were read; views forget their selection.
  void setLogonRows(std::vector<StartupEntry> logonRows);
  const std::vector<StartupEntry> &rows() const { return entries; }
  // For changes that keep the rows' number and order; call statusChanged afterwards.
  std::vector<StartupEntry> &rowsForUpdate() { return entries; }
  // The timings of rows [first, last] are asked for again, and the views told that their
  // Status cells may read differently.
  void statusChanged(int first, int last);

  // The text a cell shows, or an empty text outside the list.
  QString cellText(int row, int column) const;

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // By a column's text, stably; column -1 gives back the order the rows were read in. The order
  // holds for later rows until it is changed.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
  // Puts the rows in the present order; answers where each row was before.
  std::vector<int> arrange();
  QIcon statusIcon(StartVerdict verdict) const;
  QVariant impactData(const StartupEntry &entry, int role) const;

  // The row with its timing worked out.
  const StartupEntry &described(int row) const;
  // Column 0: the name desktops show, and as its tip the entry's own name (the file name) where
  // the two differ and the program's publisher where it names one.
  static QString nameShown(const StartupEntry &entry);
  QVariant nameTip(const StartupEntry &entry) const;

  // Looks up the icons of the next rows that lack one and asks for the pass again while some
  // still do.
  void loadIcons();
  void queueIconPass() const;

  const LanguageTable &texts;
  IconSource iconSource;
  std::vector<QIcon> icons; // by row; null until looked up
  mutable bool iconPassQueued = false;
  bool iconsStarted = false;
  Timing timing;
  Publisher publisher;
  std::optional<LogonRecording> lastLogon;
  QStringList headers;
  // By EntryKind, and last an entry of the machine's 32-bit Run key; read when the headers are
  // set.
  static constexpr std::size_t view32Label = 3;
  std::array<QString, 4> kindLabels;
  // Mutable for the timings only, filled in on first use.
  mutable std::vector<StartupEntry> entries;
  mutable std::vector<bool> timed;
  std::vector<int> readOrder; // each row's place in the list as read
  int sortColumn = -1;
  Qt::SortOrder sortOrder = Qt::AscendingOrder;
  mutable std::array<QIcon, 3> statusIcons; // starts, switched off, will not start
};

} // namespace lw
