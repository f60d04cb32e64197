#pragma once
// The registry keys that hold what starts at logon (Run, RunOnce and StartupApproved, under the
// user's and the machine's root, in both of the machine's views), watched by the system: each
// handle is signalled when its key or a value in it changes. Systems without a registry have
// none.

#include <string>
#include <vector>

namespace lw {

class RegistryWatch {
public:
  virtual ~RegistryWatch() = default;
  // One waitable handle (a Win32 event) a watched key; the same handles for the watch's life.
  virtual std::vector<void *> handles() const = 0;
  // After the handle was signalled: watches its key again, which the system asks for each
  // time. A key missing until now is watched from the moment it is there.
  virtual void rearm(void *handle) = 0;
  // The keys that cannot be watched, for a message; empty when every one is.
  virtual std::vector<std::string> unwatched() const = 0;
};

} // namespace lw
