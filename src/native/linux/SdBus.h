#pragma once
// libsystemd's sd-bus, loaded the first time a user manager is to be asked rather than at every
// start: the logon recorder starts at each logon, and where no manager is there to ask, loading
// the library and the libraries it needs would be most of what it costs to start.

#include <string>
#include <systemd/sd-bus.h>

namespace lw {

// The calls of sd-bus used here, each under its name without "sd_".
#define LW_SD_BUS_CALLS(X)                                                                         \
  X(bus_call_async)                                                                                \
  X(bus_call_method)                                                                               \
  X(bus_close)                                                                                     \
  X(bus_close_unref)                                                                               \
  X(bus_error_free)                                                                                \
  X(bus_error_has_names_sentinel)                                                                  \
  X(bus_get_property_strv)                                                                         \
  X(bus_is_ready)                                                                                  \
  X(bus_message_append)                                                                            \
  X(bus_message_enter_container)                                                                   \
  X(bus_message_get_error)                                                                         \
  X(bus_message_new_method_call)                                                                   \
  X(bus_message_read)                                                                              \
  X(bus_message_read_strv)                                                                         \
  X(bus_message_unref)                                                                             \
  X(bus_new)                                                                                       \
  X(bus_open_user)                                                                                 \
  X(bus_process)                                                                                   \
  X(bus_set_address)                                                                               \
  X(bus_set_method_call_timeout)                                                                   \
  X(bus_start)                                                                                     \
  X(bus_unref)                                                                                     \
  X(bus_wait)

struct SdBus {
#define LW_SD_BUS_MEMBER(name) decltype(&::sd_##name) name = nullptr;
  LW_SD_BUS_CALLS(LW_SD_BUS_MEMBER)
#undef LW_SD_BUS_MEMBER
};

// The calls, loaded on first use and kept; nothing when libsystemd cannot be loaded or lacks one
// of them, and `why` then says so.
const SdBus *loadSdBus(std::string &why);
// The calls once loadSdBus has given them.
const SdBus &sdBus();

} // namespace lw
