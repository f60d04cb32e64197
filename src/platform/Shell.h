#pragma once

#include <string>
#include <vector>

namespace lw {

// The desktop's "open": a document, an address or a command line, started without waiting.
class Shell {
public:
  virtual ~Shell() = default;
  // True when something was started.
  virtual bool open(const std::string &target) = 0;
  // The program and arguments that show a document in the desktop's viewer, for a caller that
  // wants to learn how that program ends; empty where open() already tells.
  virtual std::vector<std::string> documentOpener(const std::string &document) const {
    (void)document;
    return {};
  }
};

} // namespace lw
