#pragma once
// The program icon, drawn from its images in several sizes. An image is decoded only when a
// size near it is first asked for, so a display that never draws the icon (offscreen, a tray
// that is not shown yet) costs no decoding at start-up.

#include <QIcon>

#include <functional>

namespace lw {

// Images are (file, edge length in pixels) of square pictures, in any order.
QIcon lazyIcon(std::initializer_list<std::pair<const char *, int>> images);

// An icon that is made by `make` only when it is first drawn or measured. For icons a widget
// asks for up front and seldom shows.
QIcon deferredIcon(std::function<QIcon()> make);

} // namespace lw
