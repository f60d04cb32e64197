#include "WindowBands.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <vector>

namespace lw {

namespace {

struct Colour {
  double r, g, b;
};

constexpr Colour deep{20, 62, 120};
constexpr Colour blue{38, 110, 196};
constexpr Colour orange{247, 140, 30};
constexpr Colour orangeDark{222, 98, 18};
constexpr Colour white{255, 255, 255};

Colour mix(const Colour &from, const Colour &to, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t};
}

// A colour at an opacity of 0 to 1, premultiplied as the image keeps it.
QRgb pixel(const Colour &c, double alpha = 1.0) {
  alpha = std::clamp(alpha, 0.0, 1.0);
  // Rounded by adding a half: the values are never negative.
  const auto channel = [alpha](double v) { return static_cast<int>(v * alpha + 0.5); };
  return qRgba(channel(c.r), channel(c.g), channel(c.b), static_cast<int>(255 * alpha + 0.5));
}

// Paints a colour at an opacity over a pixel.
void blend(QRgb &under, const Colour &c, double alpha) {
  const QRgb over = pixel(c, alpha);
  const int keep = 255 - qAlpha(over);
  const auto channel = [keep](int top, int below) { return top + (below * keep + 127) / 255; };
  under = qRgba(channel(qRed(over), qRed(under)), channel(qGreen(over), qGreen(under)),
                channel(qBlue(over), qBlue(under)), channel(qAlpha(over), qAlpha(under)));
}

class Canvas {
public:
  Canvas(QSize size, qreal pixelRatio)
      : image(size * pixelRatio, QImage::Format_ARGB32_Premultiplied), ratio(pixelRatio) {
    image.setDevicePixelRatio(pixelRatio);
    bits = image.bits();
    stride = image.bytesPerLine();
  }
  int width() const { return image.width(); }
  int height() const { return image.height(); }
  QRgb *row(int y) { return reinterpret_cast<QRgb *>(bits + y * stride); }
  // A length in the band's own pixels, in device pixels.
  int scaled(double length) const { return static_cast<int>(std::lround(length * ratio)); }
  // Small tick marks like a time line: every 12 pixels, every fifth one longer, from row y
  // inwards (step +1 downwards, -1 upwards).
  void ruler(int y, int step, double alpha) {
    const int thick = std::max(1, scaled(1.0));
    for (int i = 0; scaled(6 + 12 * i) < width(); ++i) {
      const int length = scaled(i % 5 == 0 ? 9 : 5);
      for (int k = 0; k < length; ++k) {
        const int at = y + step * k;
        if (at < 0 || at >= height())
          continue;
        for (int x = scaled(6 + 12 * i); x < std::min(width(), scaled(6 + 12 * i) + thick); ++x)
          blend(row(at)[x], white, alpha);
      }
    }
  }
  QPixmap pixmap() { return QPixmap::fromImage(std::move(image)); }

private:
  QImage image;
  qreal ratio;
  uchar *bits = nullptr; // the image's pixels, found once rather than a row at a time
  qsizetype stride = 0;
};

// The colours of a left-to-right shading, one a column, opaque.
std::vector<QRgb> across(int w, const Colour &left, const Colour &right) {
  std::vector<QRgb> columns(static_cast<std::size_t>(w));
  for (int x = 0; x < w; ++x)
    columns[static_cast<std::size_t>(x)] = pixel(mix(left, right, static_cast<double>(x) / w));
  return columns;
}

// Drawn over the window, so its lower part fades out.
void drawTop(Canvas &canvas) {
  const int w = canvas.width();
  const int h = canvas.height();
  const auto columns = across(w, deep, blue);
  const double solid = h * 20.0 / 36;
  const int line = static_cast<int>(h * 21.0 / 36);
  for (int y = 0; y < h; ++y) {
    const double fade = y < solid ? 1.0 : std::pow(1.0 - (y - solid) / (h - solid), 1.6);
    const auto a = static_cast<unsigned>(std::lround(255 * std::clamp(fade, 0.0, 1.0)));
    QRgb *pixels = canvas.row(y);
    if (a == 255)
      std::copy(columns.begin(), columns.end(), pixels);
    else
      for (int x = 0; x < w; ++x) {
        const QRgb c = columns[static_cast<std::size_t>(x)];
        pixels[x] =
            qRgba(static_cast<int>(qRed(c) * a / 255), static_cast<int>(qGreen(c) * a / 255),
                  static_cast<int>(qBlue(c) * a / 255), static_cast<int>(a));
      }
    if (y == line) // an orange line that comes in from the left
      for (int x = 0; x < w; ++x)
        blend(pixels[x], orange, 200.0 / 255 * std::min(1.0, x / (120.0 * w / 642)));
  }
  canvas.ruler(canvas.scaled(2), 1, 60.0 / 255);
}

void drawBottom(Canvas &canvas) {
  const int w = canvas.width();
  const int h = canvas.height();
  const auto columns = across(w, blue, deep);
  const QRgb bottom = pixel(deep);
  for (int y = 0; y < h; ++y) {
    // Each column darkens towards the deep blue at the bottom.
    const int t = y * 256 / h;
    const auto towards = [t](int from, int to) { return from + ((to - from) * t) / 256; };
    QRgb *pixels = canvas.row(y);
    for (int x = 0; x < w; ++x) {
      const QRgb c = columns[static_cast<std::size_t>(x)];
      pixels[x] = qRgb(towards(qRed(c), qRed(bottom)), towards(qGreen(c), qGreen(bottom)),
                       towards(qBlue(c), qBlue(bottom)));
    }
  }
  for (int y = 0; y < std::min(h, canvas.scaled(2)); ++y)
    for (int x = 0; x < w; ++x)
      blend(canvas.row(y)[x], mix(orange, orangeDark, static_cast<double>(x) / w), 230.0 / 255);
  canvas.ruler(h - 1 - canvas.scaled(1), -1, 50.0 / 255);
}

// Used on both sides, so the shading runs down the band: deep at both ends, bright between.
void drawSide(Canvas &canvas) {
  const int w = canvas.width();
  const int h = canvas.height();
  const int dash = std::max(1, w / 4);
  const int thick = std::max(1, canvas.scaled(1.0));
  for (int y = 0; y < h; ++y) {
    const double t = static_cast<double>(y) / h;
    const QRgb colour = pixel(mix(deep, blue, 1 - std::pow(std::abs(2 * t - 1), 1.5)));
    QRgb *pixels = canvas.row(y);
    std::fill(pixels, pixels + w, colour);
    const int fromFirst = y - canvas.scaled(18);
    if (fromFirst >= 0 && y < h - canvas.scaled(18) && fromFirst % canvas.scaled(12) < thick)
      for (int x = (w - dash) / 2; x < (w + dash) / 2; ++x)
        blend(pixels[x], white, 24.0 / 255);
  }
}

} // namespace

QPixmap drawBand(Band band, QSize size, qreal pixelRatio) {
  if (size.isEmpty())
    return {};
  Canvas canvas(size, pixelRatio);
  switch (band) {
  case Band::Top:
    drawTop(canvas);
    break;
  case Band::Bottom:
    drawBottom(canvas);
    break;
  case Band::Side:
    drawSide(canvas);
    break;
  }
  return canvas.pixmap();
}

} // namespace lw
