#include "StartupApp.h"

namespace lw {

// A Windows program always has its desktop.
std::optional<std::string> missingDisplay() { return std::nullopt; }

} // namespace lw
