#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing need, or, when not root, prints the
# exact command that would and stops.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # Qt's own texts (the file chooser, a text field's menu) in the window's other languages.
  qt6-translations-l10n
  clang-format
  # gio starts written autostart entries the way the desktop does, in the tests; xdg-open is the
  # desktop's opener for documents and addresses.
  libglib2.0-bin xdg-utils
  # GLib's development files build the test oracle that says which autostart entries a
  # session starts.
  libglib2.0-dev
  # libsystemd's sd-bus asks the user's service manager which units start at logon; the tests
  # judge that against a private systemd --user on a session bus of their own. The window's
  # notifications (Qt D-Bus, part of qt6-base-dev) are tested against a notification service
  # on a private bus too, whose buttons gdbus (libglib2.0-bin) presses.
  libsystemd-dev systemd dbus
  # Debian's cron daemon judges how the @reboot jobs of a crontab are read: the test starts a
  # private one over temporary folders, as root.
  cron
  # Python's json module is the strict parser the command-line test reads list --json with.
  python3
  # xvfb-run starts the window without a desktop session (README: xvfb-run scripts/run.sh); it
  # needs xauth, which xvfb only recommends.
  xvfb xauth
  # A real X server, a tray host and an X client library watch a start at logon map no window;
  # a real window manager says whether one without a tray host is minimised.
  xvfb trayer python3-xlib openbox
)
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -ne 0 ]]; then
  echo "These packages are missing. Install them with:" >&2
  echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi
echo "Installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
