#include "QtPrompter.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "support/TextNumbers.h"

namespace lw {

namespace {

QString captionOf(const std::string &caption) {
  return caption.empty() ? QApplication::applicationDisplayName() : QString::fromUtf8(caption);
}

} // namespace

bool QtPrompter::ask(const std::string &text, const std::string &caption) {
  QMessageBox box(QMessageBox::Question, captionOf(caption), QString::fromUtf8(text),
                  QMessageBox::Yes | QMessageBox::No, owner);
  box.setDefaultButton(QMessageBox::Yes);
  nameButtons(box);
  return box.exec() == QMessageBox::Yes;
}

void QtPrompter::nameButtons(QMessageBox &box) const {
  if (!texts)
    return;
  const std::pair<QMessageBox::StandardButton, std::int32_t> names[] = {
      {QMessageBox::Yes, text::yesButton},
      {QMessageBox::No, text::noButton},
      {QMessageBox::Ok, text::okButton}};
  for (const auto &[which, number] : names)
    if (QAbstractButton *button = box.button(which); button && !texts->getText(number).empty())
      button->setText(QString::fromUtf8(texts->getText(number)));
}

void QtPrompter::tell(const std::string &text, const std::string &caption) {
  QMessageBox box(QMessageBox::NoIcon, captionOf(caption), QString::fromUtf8(text), QMessageBox::Ok,
                  owner);
  nameButtons(box);
  box.exec();
}

std::optional<std::string> QtFileChooser::chooseFile() {
  const std::string filter = texts ? texts->getText(text::allFilesFilter) : std::string();
  const QString path = QFileDialog::getOpenFileName(owner, QString(), QString(),
                                                    filter.empty() ? QStringLiteral("All files (*)")
                                                                   : QString::fromUtf8(filter));
  if (path.isEmpty())
    return std::nullopt;
  return QDir::toNativeSeparators(path).toUtf8().toStdString();
}

} // namespace lw
