// The main window's geometry: a canvas drawn for one size that grows with the window, the
// counts that grow with a large font, and the size and column widths kept between runs.

#include "MainDialog.h"

#include "support/TextNumbers.h"
#include "ui_MainDialog.h"

#include <QHeaderView>
#include <QLayout>
#include <QLineEdit>
#include <QStyle>
#include <QTreeView>

#include <algorithm>
#include <charconv>
#include <sstream>

namespace lw {

namespace {

// Where the window's own layout is kept, beside the program's other values of the user.
constexpr const char *windowKey = "SOFTWARE\\Kestrum\\Kestrumsoft Launchwright\\Window";
constexpr const char *layoutValue = "Layout";
// Width and height, then the widths of every column but Status, which takes the rest.
constexpr std::size_t layoutNumbers = 5;
// Larger than any screen: a damaged value must not make a window nobody can handle.
constexpr int largestSide = 16384;
// Beside Status's icon, and the cell's margins and focus frame; the narrowest the list makes
// Name and Command when it shares or takes room (a user may drag them narrower).
constexpr int statusIconGap = 4;
constexpr int columnPadding = 16;
constexpr int narrowestName = 60;
constexpr int narrowestCommand = 100;

std::vector<int> numbersOf(const std::string &text) {
  std::vector<int> numbers;
  std::istringstream words(text);
  std::string word;
  while (words >> word) {
    int number = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), number);
    if (error != std::errc() || end != word.data() + word.size() || number <= 0 ||
        number > largestSide)
      return {};
    numbers.push_back(number);
  }
  return numbers;
}

} // namespace

void MainDialog::anchorCanvas() {
  // Edges marked true follow the canvas's right or bottom edge as the window grows.
  anchored = {
      {entryList, {}, false, false, true, true},
      {filterLine, {}, false, false, true, false},
      {editButton, {}, true, true, true, true},
      {addButton, {}, true, true, true, true},
      {deleteButton, {}, true, true, true, true},
      {ui->okButton, {}, false, true, false, true},
      {ui->cancelButton, {}, false, true, false, true},
      {ui->statusText, {}, false, true, false, true},
      {ui->topBand, {}, false, false, true, false},
      {ui->bottomBand, {}, false, true, true, true},
      {ui->leftBand, {}, false, false, false, true},
      {ui->rightBand, {}, true, false, true, true},
  };
  for (Anchored &item : anchored)
    item.designed = item.widget->geometry();
  designedCanvas = ui->canvas->minimumSize();
  ui->canvas->installEventFilter(this);
}

void MainDialog::layOutCanvas() {
  const int dx = std::max(0, ui->canvas->width() - designedCanvas.width());
  // The list follows the canvas's right edge, so dx is also how much wider it is than designed.
  const bool listResized = entryList->width() != designedListWidth() + dx;
  const int dy = std::max(0, ui->canvas->height() - designedCanvas.height());
  for (const Anchored &item : anchored) {
    QRect place = item.designed;
    place.setCoords(place.left() + (item.left ? dx : 0), place.top() + (item.top ? dy : 0),
                    place.right() + (item.right ? dx : 0), place.bottom() + (item.bottom ? dy : 0));
    if (item.widget->geometry() != place)
      item.widget->setGeometry(place);
  }
  if (isVisible() && (listResized || columnBase.pending))
    shareListWidth(dx);
  if (bandsDrawnFor != ui->canvas->size()) {
    bandsDrawnFor = ui->canvas->size();
    drawBands();
  }
}

// The counts keep their designed place, but a larger system font (Windows, Wine, a user's
// setting) needs more room than the design gives: the label grows with its text, the bottom
// band moves down below its last line, and the side bands and the window grow with it, instead
// of the last lines being cut off or drawn over the band.
void MainDialog::fitCounts() {
  const auto designOf = [this](QWidget *widget) -> QRect & {
    return std::find_if(anchored.begin(), anchored.end(),
                        [widget](const Anchored &item) { return item.widget == widget; })
        ->designed;
  };
  QRect &counts = designOf(ui->statusText);
  const QSize needed = ui->statusText->sizeHint();
  counts.setSize(counts.size().expandedTo(needed));
  const int overflow = counts.y() + needed.height() - designOf(ui->bottomBand).y();
  if (overflow > 0) {
    designOf(ui->bottomBand).translate(0, overflow);
    for (QLabel *band : {ui->leftBand, ui->rightBand})
      designOf(band).setHeight(designOf(band).height() + overflow);
    designedCanvas.setHeight(designedCanvas.height() + overflow);
    ui->canvas->setMinimumSize(designedCanvas);
  }
  layOutCanvas();
}

bool MainDialog::restoreWindowLayout() {
  savedLayout =
      platform.registry.read(RegistryRoot::CurrentUser, windowKey, layoutValue).value_or("");
  const std::vector<int> numbers = numbersOf(savedLayout);
  if (numbers.size() != layoutNumbers)
    return false;
  resize(numbers[0], numbers[1]);
  for (int column = 0; column + 2 < static_cast<int>(layoutNumbers); ++column)
    entryList->setColumnWidth(column, numbers[static_cast<std::size_t>(column) + 2]);
  return true;
}

int MainDialog::designedListWidth() const {
  const auto list = std::find_if(anchored.begin(), anchored.end(),
                                 [this](const Anchored &item) { return item.widget == entryList; });
  return list->designed.width();
}

void MainDialog::fitStatusColumn(int listWidth, bool firstSize) {
  const QFontMetrics metrics = entryList->fontMetrics();
  int label = 0;
  for (int verdict = 0; verdict <= static_cast<int>(StartVerdict::ConditionUnknown); ++verdict)
    label = std::max(label, metrics.horizontalAdvance(QString::fromUtf8(languageTable.getText(
                                verdictLabelNumber(static_cast<StartVerdict>(verdict))))));
  const int iconSide =
      entryList->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, entryList);
  const int status = label + iconSide + statusIconGap + columnPadding;
  // Room for a vertical scroll bar too: a long list must not push Status out again.
  const int room = listWidth - 2 * entryList->frameWidth() -
                   entryList->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, entryList);
  const int others = entryList->columnWidth(0) + entryList->columnWidth(1);
  if (others + entryList->columnWidth(2) + status > room)
    setColumnWidths(2, std::max(narrowestCommand, room - others - status));
  // Where a large font leaves too little room even so, the window first opens that much wider.
  const int shortfall = others + entryList->columnWidth(2) + status - room;
  if (firstSize && shortfall > 0) {
    layout()->activate();
    resize(minimumWidth() + shortfall, minimumHeight());
  }
}

void MainDialog::setColumnWidths(int column, int width) {
  const bool own = sharingColumns;
  sharingColumns = true;
  entryList->setColumnWidth(column, width);
  sharingColumns = own;
}

void MainDialog::rebaseColumns(int extra) {
  columnBase = {extra, entryList->columnWidth(0), entryList->columnWidth(2), false};
}

// Name, Command and Status share what the list gains beyond the widths last set (by the design,
// a kept layout or the user's own dragging): each a third, Status as the last column.
void MainDialog::shareListWidth(int extra) {
  listExtra = extra;
  if (columnBase.pending) {
    rebaseColumns(extra);
    return;
  }
  const int share = (extra - columnBase.extra) / 3;
  setColumnWidths(0, std::max(narrowestName, columnBase.name + share));
  setColumnWidths(2, std::max(narrowestCommand, columnBase.command + share));
}

void MainDialog::onColumnDragged(int column) {
  if (!sharingColumns && (column == 0 || column == 2) && !columnBase.pending)
    rebaseColumns(listExtra);
}

void MainDialog::saveWindowLayout() {
  std::string layout = std::to_string(width()) + ' ' + std::to_string(height());
  for (int column = 0; column + 2 < static_cast<int>(layoutNumbers); ++column)
    layout += ' ' + std::to_string(entryList->columnWidth(column));
  if (layout == savedLayout)
    return;
  // Only a convenience: a store that cannot be written costs the user nothing but this.
  if (platform.registry.write(RegistryRoot::CurrentUser, windowKey, layoutValue, layout))
    savedLayout = layout;
}

} // namespace lw
