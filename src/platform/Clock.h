#pragma once

#include <chrono>

namespace lw {

// Local wall-clock time as the user's clock shows it.
struct LocalTime {
  int year = 2000;
  int month = 1; // 1 to 12
  int day = 1;   // 1 to 31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 6; // 0 = Sunday
};

class Clock {
public:
  virtual ~Clock() = default;
  virtual LocalTime now() const = 0;
  // Blocks the calling thread; a seam so that tests need not wait.
  virtual void sleepFor(std::chrono::milliseconds duration) = 0;
};

} // namespace lw
