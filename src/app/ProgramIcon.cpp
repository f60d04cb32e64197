#include "ProgramIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <vector>

namespace lw {

namespace {

class LazyIconEngine : public QIconEngine {
public:
  struct Image {
    QString file;
    int edge = 0;
    QPixmap pixmap; // empty until first drawn
  };

  explicit LazyIconEngine(std::vector<Image> sizes) : images(std::move(sizes)) {
    std::sort(this->images.begin(), this->images.end(),
              [](const Image &a, const Image &b) { return a.edge < b.edge; });
  }

  QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override {
    const Image *image = nearest(size);
    if (!image)
      return {};
    const int edge = std::min({image->edge, size.width(), size.height()});
    return {edge, edge};
  }

  QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
    Image *image = nearest(size);
    if (!image)
      return {};
    if (image->pixmap.isNull())
      image->pixmap.load(image->file, "PNG"); // no probing of every image plugin
    const QSize wanted = actualSize(size, mode, state);
    if (image->pixmap.size() == wanted)
      return image->pixmap;
    return image->pixmap.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }

  void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap drawn = pixmap(rect.size() * ratio, mode, state);
    drawn.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect, drawn);
  }

  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
    QList<QSize> sizes;
    for (const Image &image : images)
      sizes.append({image.edge, image.edge});
    return sizes;
  }

  QIconEngine *clone() const override { return new LazyIconEngine(*this); }
  QString key() const override { return QStringLiteral("LazyIconEngine"); }

private:
  // The smallest image at least as large as asked for, else the largest.
  Image *nearest(const QSize &size) {
    if (images.empty())
      return nullptr;
    const int edge = std::max(size.width(), size.height());
    for (Image &image : images)
      if (image.edge >= edge)
        return &image;
    return &images.back();
  }

  std::vector<Image> images;
};

class DeferredIconEngine : public QIconEngine {
public:
  explicit DeferredIconEngine(std::function<QIcon()> maker) : make(std::move(maker)) {}

  void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override {
    icon().paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
    return icon().pixmap(size, mode, state);
  }
  QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    return icon().pixmap(size, scale, mode, state);
  }
  QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
    return icon().actualSize(size, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return icon().availableSizes(mode, state);
  }
  QString iconName() override { return icon().name(); }
  bool isNull() override { return icon().isNull(); }
  QIconEngine *clone() const override { return new DeferredIconEngine(*this); }
  QString key() const override { return QStringLiteral("DeferredIconEngine"); }

private:
  const QIcon &icon() {
    if (make) {
      made = make();
      make = nullptr;
    }
    return made;
  }

  std::function<QIcon()> make;
  QIcon made;
};

} // namespace

QIcon lazyIcon(std::initializer_list<std::pair<const char *, int>> images) {
  std::vector<LazyIconEngine::Image> list;
  for (const auto &[file, edge] : images)
    list.push_back({QString::fromLatin1(file), edge, {}});
  return QIcon(new LazyIconEngine(std::move(list)));
}

QIcon deferredIcon(std::function<QIcon()> make) {
  return QIcon(new DeferredIconEngine(std::move(make)));
}

} // namespace lw
