#pragma once
// Qt's own texts (the file chooser, a text field's menu) in the language the window speaks.

#include <QTranslator>

#include <memory>
#include <string>

namespace lw {

class QtTexts {
public:
  // Qt's translations for this language ("de"); English, an unknown language or a missing
  // translation file leave Qt's own English texts.
  void follow(const std::string &language);
  const std::string &language() const { return loaded; }

private:
  std::unique_ptr<QTranslator> translator;
  std::string loaded;
};

} // namespace lw
