#pragma once

#include <optional>
#include <string>

namespace lw {

// Message boxes owned by a window. Questions have Yes and No and the question icon; notices
// have OK alone. An empty caption means the application's default title.
class Prompter {
public:
  virtual ~Prompter() = default;
  // True when the user answered Yes.
  virtual bool ask(const std::string &text, const std::string &caption) = 0;
  virtual void tell(const std::string &text, const std::string &caption) = 0;
};

// The open-file chooser behind Browse: all files, no default extension.
class FileChooser {
public:
  virtual ~FileChooser() = default;
  // The full path chosen, or nothing when the user cancelled.
  virtual std::optional<std::string> chooseFile() = 0;
};

} // namespace lw
