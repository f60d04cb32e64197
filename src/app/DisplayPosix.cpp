#include "StartupApp.h"

#include <cstdlib>

namespace lw {

namespace {

bool isSet(const char *name) {
  const char *value = std::getenv(name);
  return value && *value;
}

} // namespace

std::optional<std::string> missingDisplay() {
  if (isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY"))
    return std::nullopt;
  return "neither DISPLAY nor WAYLAND_DISPLAY is set, so there is no desktop to show the "
         "window on";
}

} // namespace lw
