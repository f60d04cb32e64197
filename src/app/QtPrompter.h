#pragma once

#include "platform/Prompter.h"
#include "support/LanguageTable.h"

#include <QPointer>
#include <QWidget>

class QMessageBox;

namespace lw {

// Message boxes owned by the main window once it exists (before that, by no window).
class QtPrompter : public Prompter {
public:
  void setOwner(QWidget *window) { owner = window; }
  // The table the buttons take their texts from; without one they keep Qt's own.
  void setTexts(const LanguageTable *table) { texts = table; }
  bool ask(const std::string &text, const std::string &caption) override;
  void tell(const std::string &text, const std::string &caption) override;

private:
  void nameButtons(QMessageBox &box) const;
  QPointer<QWidget> owner;
  const LanguageTable *texts = nullptr;
};

class QtFileChooser : public FileChooser {
public:
  void setOwner(QWidget *window) { owner = window; }
  // The table the filter's name comes from; without one it keeps its English name.
  void setTexts(const LanguageTable *table) { texts = table; }
  std::optional<std::string> chooseFile() override;

private:
  QPointer<QWidget> owner;
  const LanguageTable *texts = nullptr;
};

} // namespace lw
