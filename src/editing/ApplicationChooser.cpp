#include "ApplicationChooser.h"

#include "ApplicationIcon.h"
#include "support/TextNumbers.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace lw {

namespace {

QString toQt(const std::string &text) { return QString::fromUtf8(text); }

// Which application an item is: its place in the chooser's list.
constexpr int indexRole = Qt::UserRole;
// What the filter line is matched against: the name, the comment and the id.
constexpr int searchedRole = Qt::UserRole + 1;

} // namespace

ApplicationChooser::ApplicationChooser(std::vector<InstalledApplication> offered,
                                       const LanguageTable &texts, QWidget *parent)
    : QDialog(parent), applications(std::move(offered)), filterEdit(new QLineEdit(this)),
      listView(new QListView(this)), model(new QStandardItemModel(this)),
      filtered(new QSortFilterProxyModel(this)) {
  setObjectName(QStringLiteral("applicationChooser"));
  setWindowTitle(toQt(texts.getText(text::chooseApplicationTitle)));
  filterEdit->setObjectName(QStringLiteral("applicationFilterEdit"));
  filterEdit->setPlaceholderText(toQt(texts.getText(text::applicationFilter)));
  filterEdit->setAccessibleName(toQt(texts.getText(text::applicationFilter)));
  filterEdit->setClearButtonEnabled(true);
  filterEdit->installEventFilter(this);
  listView->setObjectName(QStringLiteral("applicationList"));
  listView->setAccessibleName(toQt(texts.getText(text::applicationList)));
  listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  listView->setIconSize(QSize(32, 32));
  listView->setUniformItemSizes(true);

  for (std::size_t i = 0; i < applications.size(); ++i) {
    const auto &application = applications[i];
    QString shown = toQt(application.name);
    if (!application.comment.empty())
      shown += QLatin1Char('\n') + toQt(application.comment);
    auto *item = new QStandardItem(shown);
    QIcon icon = applicationIcon(application.icon);
    item->setIcon(icon.isNull() ? neutralIcon() : icon);
    item->setToolTip(toQt(application.command));
    item->setData(static_cast<int>(i), indexRole);
    item->setData(shown + QLatin1Char(' ') + toQt(application.id), searchedRole);
    model->appendRow(item);
  }
  filtered->setSourceModel(model);
  filtered->setFilterRole(searchedRole);
  filtered->setFilterCaseSensitivity(Qt::CaseInsensitive);
  listView->setModel(filtered);

  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
  buttons->button(QDialogButtonBox::Ok)->setText(toQt(texts.getText(text::okButton)));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
  buttons->button(QDialogButtonBox::Cancel)->setText(toQt(texts.getText(text::cancelButton)));
  connect(buttons, &QDialogButtonBox::accepted, this, &ApplicationChooser::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ApplicationChooser::reject);
  connect(listView, &QListView::activated, this, &ApplicationChooser::accept);
  connect(filterEdit, &QLineEdit::textChanged, this, [this](const QString &typed) {
    filtered->setFilterFixedString(typed);
    selectFirst();
  });

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(filterEdit);
  layout->addWidget(listView);
  layout->addWidget(buttons);
  resize(460, 480);
  selectFirst();
  filterEdit->setFocus();
}

void ApplicationChooser::selectFirst() {
  if (filtered->rowCount() > 0 && !listView->selectionModel()->hasSelection())
    listView->setCurrentIndex(filtered->index(0, 0));
}

bool ApplicationChooser::eventFilter(QObject *watched, QEvent *event) {
  // Typing a filter and choosing with the arrow keys needs no change of focus.
  if (watched == filterEdit && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
        key == Qt::Key_PageDown) {
      QCoreApplication::sendEvent(listView, event);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void ApplicationChooser::accept() {
  const QModelIndex current = listView->currentIndex();
  if (!current.isValid())
    return;
  choice = applications[static_cast<std::size_t>(current.data(indexRole).toInt())];
  QDialog::accept();
}

} // namespace lw
