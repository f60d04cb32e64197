#pragma once
// The systemd user units that start at logon: everything default.target,
// graphical-session-pre.target or graphical-session.target pull in, at any depth and by any
// means (links in .wants and .requires folders of the user, the administrator or the operating
// system, Wants= and Requires= lines, drop-ins), sockets, timers and path units with what they
// start; those the user disabled or masked and can switch back on; and whether a condition keeps
// a unit from starting. The user's service manager is asked over D-Bus for the units'
// states, files and commands and carries out the switches, as systemctl --user would.
//
// Units systemd generates from the XDG autostart folders are left out: they are the autostart
// entries, listed as such.

#include "platform/LogonSources.h"

#include <chrono>

namespace lw {

class SystemdUserUnits : public LogonSource {
public:
  // Why a unit starts or does not, by whoever enabled it.
  static constexpr LogonReason userEnabled{{815}, {830}};
  static constexpr LogonReason adminEnabled{{816}, {831}};
  static constexpr LogonReason vendorEnabled{{817}, {832}};  // the operating system's packages
  static constexpr LogonReason packageEnabled{{828}, {850}}; // a package in the user's home
  static constexpr LogonReason userDisabled{{818}, {833}};   // installable, but not enabled
  static constexpr LogonReason masked{{819}, {834}};
  static constexpr const LogonReason *reasons[] = {&userEnabled,    &adminEnabled, &vendorEnabled,
                                                   &packageEnabled, &userDisabled, &masked};
  static constexpr LogonKind description{"systemd-unit", {803}, {809}, reasons};
  // What starts a socket's, a timer's or a path unit's service.
  static constexpr LogonText onDemand{924};
  static constexpr LogonText byTimer{925};
  static constexpr LogonText byPath{926};

  // A listing waits for the manager, and for systemctl, at most `limit` in all: a manager that
  // takes longer is stuck.
  explicit SystemdUserUnits(std::chrono::milliseconds limit = std::chrono::seconds(5))
      : listingTime(limit) {}
  LogonSourceKind kind() const override { return &description; }
  LogonSourceListing list() override;
  // Enable: the user's links taken back, put back or, never switched off here, systemctl --user
  // enable. Mask: a mask link made, taken back, or systemctl --user unmask. The manager then
  // reloads, so that the next start and the next listing follow the change.
  bool setEnabled(const LogonItem &item, bool enabled) override;
  // Off by its links (see SystemdSwitch.h): refused, changing nothing, where that cannot be done
  // whole; on puts back exactly the links a switch-off took.
  LogonSwitchPlan planSwitch(const LogonItem &item, bool enabled) override;
  bool restoreSwitch(const std::string &name, const std::string &undo) override;
  bool start(const LogonItem &item) override;
  // The folders of the manager's unit path and their .wants, .requires, .upholds and drop-in
  // folders; the manager's own signal of a changed unit file comes on top.
  LogonWatch watchPlaces() override;

private:
  std::chrono::milliseconds listingTime;
};

} // namespace lw
