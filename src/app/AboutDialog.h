#pragma once

#include "support/LanguageTable.h"

#include <QDialog>

#include <memory>

namespace Ui {
class AboutDialog;
}

namespace lw {

// The About box: the program's name, version and two notices in the window's language.
// F1 in it opens no help.
class AboutDialog : public QDialog {
  Q_OBJECT

public:
  explicit AboutDialog(const LanguageTable &texts, QWidget *parent = nullptr);
  ~AboutDialog() override;

private:
  std::unique_ptr<Ui::AboutDialog> ui;
};

} // namespace lw
