#include "QtTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace lw {

void QtTexts::follow(const std::string &language) {
  if (language == loaded)
    return;
  if (translator) {
    QCoreApplication::removeTranslator(translator.get());
    translator.reset();
  }
  loaded.clear();
  if (language.empty() || language == "en")
    return;
  auto next = std::make_unique<QTranslator>();
  const QString name = QStringLiteral("qtbase_") + QString::fromStdString(language);
  // A static build carries its translations inside; an installed Qt keeps them in its folder.
  if (!next->load(name, QStringLiteral(":/qt-translations")) &&
      !next->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return;
  QCoreApplication::installTranslator(next.get());
  translator = std::move(next);
  loaded = language;
}

} // namespace lw
