#include "AboutDialog.h"

#include "ui_AboutDialog.h"

namespace lw {

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::AboutDialog>()) {
  ui->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
}

AboutDialog::~AboutDialog() = default;

} // namespace lw
