#pragma once
// Explorer's switch for what starts at logon. Beside the Run keys and the Startup folders, under
// Explorer\StartupApproved, a REG_BINARY value named like the item says whether it starts: data
// whose first byte is odd (03 00 00 00 and the FILETIME of the switch) is off, an even one
// (02 00 ...) or no value at all is on. Task Manager's Startup tab writes the same values, so a
// switch made in either place shows in the other.

#include "platform/Registry.h"

#include <optional>
#include <string>
#include <string_view>

namespace lw::startupApproved {

bool isSwitchedOff(const std::string &data);

// The data of the item's value, or nothing when it has none.
std::optional<std::string> read(RegistryRoot root, std::string_view key, std::string_view name);
bool write(RegistryRoot root, std::string_view key, std::string_view name, const std::string &data);
bool remove(RegistryRoot root, std::string_view key, std::string_view name);

// Writes the state Task Manager writes, unless the value says so already: switching off twice
// keeps the time of the first switch, which Task Manager shows as "disabled since".
bool setSwitchedOn(RegistryRoot root, std::string_view key, std::string_view name, bool on);

} // namespace lw::startupApproved
