#pragma once
// Switching a systemd user unit off and on by its links, so that switching it back undoes
// exactly what switching it off did. systemctl --user disable takes back more than the unit's
// start at logon (the unit's own link made by `systemctl link`) and enable lays down what
// [Install] says now rather than what was there (a runtime link comes back permanent, an
// instance or a hand-made link without [Install] does not come back at all). So switching off
// removes the links in the .wants, .requires and .upholds folders of the user's two unit
// folders (under XDG_CONFIG_HOME and XDG_RUNTIME_DIR) that carry the unit's name, or masks it
// with a link to /dev/null where the user's folder is free; switching on puts exactly those
// links back (same paths, same targets) or takes the mask away.
//
// What a switch changed is kept, one file per unit, in $XDG_CONFIG_HOME/launchwright/
// systemd-switched-off: that record is what lists a unit switched off this way (it may have no
// [Install] that would say it can be enabled) and what switching it on puts back. The same text
// goes into the program's backup record, so that Reverse Startup Changes can put it back too.
// SystemdUserUnits::planSwitch and restoreSwitch live in SystemdSwitch.cpp with the rest.

#include "platform/LogonSources.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace lw::systemdswitch {

// Why a switch is refused before anything changes.
inline constexpr LogonText nothingOfTheUsers{910};
inline constexpr LogonText noPlaceToMask{911};
inline constexpr LogonText placeTaken{912};
inline constexpr LogonText unrecordableName{913};

struct UnitLink {
  std::string path;
  std::string target; // the link's own bytes, as readlink gives them
  bool operator==(const UnitLink &) const = default;
};

// What a switch changes: links it removes and links it makes.
struct LinkChange {
  std::vector<UnitLink> removed;
  std::vector<UnitLink> added;
  bool empty() const { return removed.empty() && added.empty(); }
};

// The change as text, one link a line ("-" removed, "+" made, then path and target after tabs),
// and back; nothing for a text that is not one.
std::string textOf(const LinkChange &change);
std::optional<LinkChange> changeOf(const std::string &text);

struct SwitchPlan {
  std::optional<LogonText> refusal;
  std::string detail;
  LinkChange change;     // what switching will do
  bool byRecord = false; // switching on from a kept record
};

// Switching the unit off: by taking its links back (LogonSwitch::Enable) or by masking it.
SwitchPlan planOff(const std::string &name, LogonSwitch by);
// The switch of a listed unit: off by planOff; on by planOn where a record is kept, else by
// systemctl --user enable or unmask (an empty plan). Switching off what is off already is an
// empty plan too.
SwitchPlan planFor(const LogonItem &item, bool enabled);
// Switching it on from the record of its switch-off; no plan when there is no record.
std::optional<SwitchPlan> planOn(const std::string &name);
// The plan that undoes `undo` (a change a switch-off made), whether kept or from a backup.
SwitchPlan planUndo(const LinkChange &undo);

// Carries the change out; a link that is already as the change leaves it counts as done. On a
// failure, what was done is undone and false comes back.
bool apply(const LinkChange &change);

// The kept record of the unit's switch-off; keep() adds to a record already there.
std::optional<LinkChange> recorded(const std::string &name);
bool keep(const std::string &name, const LinkChange &change);
void forget(const std::string &name);

// Every unit a kept record says is switched off, with the targets whose .wants, .requires or
// .upholds folders its removed links lay in.
std::map<std::string, std::set<std::string>> switchedOff();

} // namespace lw::systemdswitch
