#include "SingleInstance.h"

#include "MainDialog.h"
#include "support/ProgramValues.h"

#include <cstdio>

namespace lw {

void bringToFront(MainDialog &window) {
  window.guarded([&window] {
    if (window.isHidden())
      window.restoreFromTray();
    else
      window.showNormal();
    window.raise();
    window.activateWindow();
  });
}

int handOverToRunningInstance(SingleInstance &instance, Registry &registry) {
  if (!instance.reachRunning()) {
    if (!instance.untrustedGuard()) // said already
      std::fprintf(stderr, "launchwright: another instance is running but does not answer.\n");
    return 1;
  }
  // A logon start that finds the program running leaves it where it is (in the tray).
  if (ProgramValues(registry).takeLogonMarker())
    return 0;
  return instance.askToShow() ? 0 : 1;
}

} // namespace lw
