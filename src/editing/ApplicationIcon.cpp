#include "ApplicationIcon.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QImageReader>
#include <QStyle>

namespace lw {

QIcon applicationIcon(const std::string &icon) {
  if (icon.empty())
    return {};
  const QString name = QString::fromUtf8(icon);
  if (!QFileInfo(name).isAbsolute())
    return QIcon::fromTheme(name);
  const QFileInfo file(name);
  if (!file.isFile())
    return {};
  if (QImageReader::supportedImageFormats().contains(file.suffix().toLower().toUtf8()))
    return QIcon(name);
  static QFileIconProvider provider;
  return provider.icon(file);
}

QIcon neutralIcon() {
  static const QIcon neutral = [] {
    QIcon themed = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    return themed.isNull() ? QApplication::style()->standardIcon(QStyle::SP_FileIcon) : themed;
  }();
  return neutral;
}

} // namespace lw
