#pragma once

#include <string>

namespace lw {

// The desktop's "open": a document, an address or a command line, started without waiting.
class Shell {
public:
  virtual ~Shell() = default;
  // True when something was started.
  virtual bool open(const std::string &target) = 0;
};

} // namespace lw
