#include "AboutDialog.h"

#include "support/TextNumbers.h"
#include "ui_AboutDialog.h"

namespace lw {

AboutDialog::AboutDialog(const LanguageTable &texts, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::AboutDialog>()) {
  ui->setupUi(this);
  const auto textOf = [&texts](std::int32_t number) {
    return QString::fromUtf8(texts.getText(number));
  };
  setWindowTitle(textOf(text::aboutTitle));
  ui->noticeLabel->setText(textOf(text::aboutCopyright));
  ui->secondNoticeLabel->setText(textOf(text::aboutPurpose));
  ui->okButton->setText(textOf(text::okButton));
  ui->iconLabel->setAccessibleName(textOf(text::programIconName));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
}

AboutDialog::~AboutDialog() = default;

} // namespace lw
