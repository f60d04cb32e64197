#pragma once
// The blue bands around the main window's canvas, drawn for the size they are shown at: a
// gradient with a time-line ruler, the program's schedule motif. Drawn, not decoded from
// pictures, so that they cost next to nothing while the window opens and stay sharp at any
// size and pixel ratio.

#include <QPixmap>
#include <QSize>

namespace lw {

enum class Band { Top, Bottom, Side };

// A band of the given size in device-independent pixels, for a screen of that pixel ratio.
QPixmap drawBand(Band band, QSize size, qreal pixelRatio = 1.0);

} // namespace lw
