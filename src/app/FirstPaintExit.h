#pragma once
// A hook for start-up benchmarks: with LW_EXIT_AFTER_FIRST_PAINT=1 in the environment the
// program ends right after the list of the window has been painted for the first time, so that
// an outside timer sees the cost of start-up up to what the user first sees, and nothing more.

#include <functional>

class QWidget;

namespace lw {

// Does nothing unless the variable is set to 1. Ends the process with status 0 without the
// usual clean-up, as the timing is meant to stop at the paint; release runs first, for what the
// next start must not find behind (the instance guard), as a normal end would leave it.
void exitAfterFirstPaintWhenAsked(QWidget *window, std::function<void()> release = {});

} // namespace lw
