#pragma once
// The desktop's "open" on Linux. An address or a document goes to the desktop's opener, an
// executable file is started itself, and any other text is a command line split by the Desktop
// Entry rules, never handed to a shell. Whatever starts runs detached from this program: its
// own session, no descriptors or locks of ours, /dev/null as standard input, output and
// error, the user's home as working directory.

#include "platform/Shell.h"

#include <string>
#include <vector>

namespace lw {

class LinuxShell : public Shell {
public:
  explicit LinuxShell(std::string homeDirectory, std::string opener = "xdg-open");

  bool open(const std::string &target) override;
  // The opener only hands the document on, so its exit status says whether a viewer took it.
  std::vector<std::string> documentOpener(const std::string &document) const override {
    return {opener, document};
  }
  StartResult start(const std::string &command, const std::string &workingDirectory,
                    StartStyle style) override;

  // The program and arguments that open(target) starts; empty when the text names nothing.
  std::vector<std::string> commandFor(const std::string &target) const;

private:
  std::string home;
  std::string opener;
};

// Starts the program detached and answers whether it was executed: a program that cannot be
// found or executed is reported as a failure, not as a start.
bool startDetached(const std::vector<std::string> &arguments, const std::string &workingDirectory);
// The same, saying why the program could not be executed.
StartResult startDetachedWithReason(const std::vector<std::string> &arguments,
                                    const std::string &workingDirectory);

} // namespace lw
