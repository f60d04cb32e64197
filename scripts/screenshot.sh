#!/usr/bin/env bash
# Takes the README's picture of the main window under a virtual X server, with a few sample
# entries in throw-away folders; nothing of the real desktop or home directory is read or changed.
#   scripts/screenshot.sh [output.png]      (default: docs/screenshot.png)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot.png}

scripts/deps.sh xvfb xauth imagemagick
cmake --preset default >/dev/null
cmake --build --preset default --target launchwright >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r build/bin "$work/program"
mkdir -p "$work/home" "$work/config/autostart" "$work/system/autostart"

entry() { # folder file-name shown-name command
  printf '[Desktop Entry]\nType=Application\nName=%s\nExec=%s\n' "$3" "$4" >"$1/$2.desktop"
}
entry "$work/config/autostart" "clipboard" "Clipboard Manager" "/usr/bin/env clipboard-daemon --quiet"
entry "$work/config/autostart" "notes" "Notes" "/usr/bin/env notes --tray"
entry "$work/config/autostart" "syncer" "File Sync" "/opt/filesync/syncer --daemon"
entry "$work/system/autostart" "print-applet" "Print Queue Applet" "/usr/bin/env print-applet"
# The window as a user left it last time: wider and taller than it first opens.
mkdir -p "$work/config/launchwright"
printf '[HKEY_CURRENT_USER\\SOFTWARE\\Kestrum\\Kestrumsoft Launchwright\\Window]\nLayout=860 470 150 110 250\n' \
  >"$work/config/launchwright/registry.ini"

# Two customized entries (once a day, every 3 hours) that last started this minute, so that
# neither is due while the picture is taken and their Status shows a real next start.
stamp=$(date +%Y%m%d%H%M)
{
  printf 'Kestrumsoft Launchwright - Customized Entries\r\n%s\r\n\r\n' "$(printf '=%.0s' {1..46})"
  printf 'Backup\r\n/usr/bin/env backup-now --home\r\n000000000000000x00%s\r\n=====\r\n' "$stamp"
  printf 'Mail\r\n/usr/bin/env mail-client\r\n060000000300000x00%s\r\n=====' "$stamp"
} >"$work/program/0013cst.ini"

mkdir -p "$(dirname "$out")"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/system"
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1/program/launchwright" &
  pid=$!
  sleep 3
  import -window "Kestrumsoft Launchwright" "$2"
  kill "$pid"
' screenshot "$work" "$work/shot.png"
cp "$work/shot.png" "$out"
echo "Saved $out"
