#include "SdBus.h"

#include <dlfcn.h>

namespace lw {

namespace {

SdBus loaded;

// The calls, or why they cannot be had.
std::string load() {
  void *library = ::dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
  if (!library)
    return ::dlerror();
#define LW_SD_BUS_LOOKUP(name)                                                                     \
  loaded.name = reinterpret_cast<decltype(loaded.name)>(::dlsym(library, "sd_" #name));            \
  if (!loaded.name)                                                                                \
    return "libsystemd has no sd_" #name;
  LW_SD_BUS_CALLS(LW_SD_BUS_LOOKUP)
#undef LW_SD_BUS_LOOKUP
  return {};
}

} // namespace

const SdBus *loadSdBus(std::string &why) {
  // Loaded once, however many threads ask; the library stays for the life of the process.
  static const std::string failure = load();
  if (!failure.empty()) {
    why = failure;
    return nullptr;
  }
  return &loaded;
}

const SdBus &sdBus() { return loaded; }

} // namespace lw
