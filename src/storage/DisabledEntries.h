#pragma once
// Which customized entries the user has switched off. The state lives beside the entries file,
// one value per entry name under keys::disabledCustomized, so that the file keeps its format.
// The value's data means nothing; only the name counts, compared byte for byte.

#include "platform/Registry.h"

#include <string>
#include <vector>

namespace lw {

// The names of every switched-off customized entry; none when the key is absent. Throws
// FileError when the store exists but cannot be read: that is no answer, and never "none".
std::vector<std::string> disabledCustomizedNames(Registry &registry);

bool isCustomizedDisabled(Registry &registry, const std::string &name);

// True when the entry is in the asked state afterwards.
bool setCustomizedDisabled(Registry &registry, const std::string &name, bool disabled);

} // namespace lw
