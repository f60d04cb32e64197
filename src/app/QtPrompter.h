#pragma once

#include "platform/Prompter.h"

#include <QPointer>
#include <QWidget>

namespace lw {

// Message boxes owned by the main window once it exists (before that, by no window).
class QtPrompter : public Prompter {
public:
  void setOwner(QWidget *window) { owner = window; }
  bool ask(const std::string &text, const std::string &caption) override;
  void tell(const std::string &text, const std::string &caption) override;

private:
  QPointer<QWidget> owner;
};

class QtFileChooser : public FileChooser {
public:
  void setOwner(QWidget *window) { owner = window; }
  std::optional<std::string> chooseFile() override;

private:
  QPointer<QWidget> owner;
};

} // namespace lw
