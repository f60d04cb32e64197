#!/usr/bin/env bash
# Takes the README's pictures of the Windows flavour's main window, in English and in German:
# builds launchwright.exe with mingw-w64 and the prebuilt static Qt (as scripts/ci-windows.sh
# does) and runs it under Wine on a virtual X server, in a throw-away Wine prefix and program
# folder with a few sample entries. Nothing of the real desktop, home or Wine prefix is touched.
#   scripts/screenshot-windows.sh [out-dir]      (default: docs/; writes windows-en.png and
#                                                  windows-de.png there)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs}

scripts/deps.sh g++-mingw-w64-x86-64-posix wine64 wine qt6-base-dev-tools fonts-liberation \
  xvfb xauth imagemagick xdotool

# The prebuilt static Qt as in scripts/ci-windows.sh; without LW_PREBUILT_QT_DIR and with none
# beside the repository, the folder an earlier configure of build-windows found stays in use.
configure=()
qt_dir=${LW_PREBUILT_QT_DIR:-$PWD/../shared/toolchains/qt6-mingw-static}
if [ -n "${LW_PREBUILT_QT_DIR:-}" ] || [ -f "$qt_dir/SHA256SUMS" ]; then
  configure+=(-DLW_PREBUILT_QT_DIR="$qt_dir")
fi
if command -v ccache >/dev/null; then
  configure+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake --preset windows "${configure[@]}" >/dev/null
if ! cmake --build --preset windows --target launchwright rwlaunch >/dev/null; then
  echo "Building launchwright.exe failed; it needs the prebuilt Qt (LW_PREBUILT_QT_DIR)" >&2
  exit 1
fi

work=$(mktemp -d /tmp/launchwright-shot.XXXXXX)
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
cleanup() {
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$WINEPREFIX"
# Two customized entries (once a day, every 3 hours) that last started this minute, so that
# neither is due while the picture is taken and their Status shows a real next start.
stamp=$(date +%Y%m%d%H%M)
{
  printf 'Kestrumsoft Launchwright - Customized Entries\r\n%s\r\n\r\n' "$(printf '=%.0s' {1..46})"
  printf 'Backup\r\nC:\\Tools\\backup.exe /full\r\n000000000000000x00%s\r\n=====\r\n' "$stamp"
  printf 'Mail\r\nC:\\Program Files\\Mail\\mail.exe\r\n060000000300000x00%s\r\n=====' "$stamp"
} >"$work/0013cst.ini"

# Everything Wine runs happens on the one virtual X server: a prefix first set up without a
# display would leave its desktop process without one, and no window would ever show.
shoot() { # built-program-folder customized-entries-file out-dir
  local built=$1 customized=$2 out=$3
  local run=HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run
  # The first start of a fresh prefix takes a while; set it up before the program runs.
  timeout 60 wineserver -p
  timeout 300 wine wineboot --init >/dev/null 2>&1
  # Debian's Wine finds none of its own fonts (its Tahoma stands in for Windows' dialog font
  # "MS Shell Dlg"), and Qt would fall back to a serif face. A replacement makes Liberation Sans,
  # with Arial's widths, the Tahoma of this prefix.
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Tahoma /d 'Liberation Sans' /f \
    >/dev/null
  wine reg add "$run" /v Clipboard /d 'C:\Tools\clipboard.exe --quiet' /f >/dev/null
  wine reg add "$run" /v Notes /d '"C:\Program Files\Notes\notes.exe" /tray' /f >/dev/null
  wine reg add "HKLM${run#HKCU}" /v 'Print Queue' /d 'C:\Windows\system32\spoolsv.exe' /f \
    >/dev/null
  # Where an installer puts it, so that the starter's Run value reads as on Windows.
  local program="$WINEPREFIX/drive_c/Program Files/Launchwright"
  cp -r "$built" "$program"
  cp "$customized" "$program/0013cst.ini"

  # The first start registers the starter for the customized entries (the Run value
  # "Launchwright"), which the list shows from the next start on: both pictures show it.
  local round id
  for round in first en de; do
    if [ "$round" = de ]; then
      sed -i 's/^\[English\]\r$/[Deutsch]\r/' "$program/config.ini"
      grep -q '^\[Deutsch\]' "$program/config.ini" || {
        echo "config.ini names no [English] section to switch to German" >&2
        return 1
      }
    fi
    wine "$program/launchwright.exe" >/dev/null 2>&1 &
    id=
    for _ in $(seq 90); do
      id=$(xdotool search --onlyvisible --name '^Kestrumsoft Launchwright$' 2>/dev/null |
        head -n1) || true
      [ -n "$id" ] && break
      sleep 1
    done
    if [ -z "$id" ]; then
      echo "The window of launchwright.exe did not appear within 90 s" >&2
      return 1
    fi
    sleep 3 # let it finish drawing the list
    if [ "$round" != first ]; then
      import -window "$id" "$out/windows-$round.png"
      echo "Saved $out/windows-$round.png"
    fi
    # Ends the program and anything it started; the prefix stays set up for the next round.
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    timeout 30 wineserver -w >/dev/null 2>&1 || true
  done
}

mkdir -p "$out"
unset WAYLAND_DISPLAY
# xvfb-run is a POSIX shell script, which passes no exported bash functions on: hand over the
# function's text.
xvfb-run -a -s "-screen 0 1024x768x24" \
  bash -c "set -euo pipefail; $(declare -f shoot); shoot \"\$@\"" shoot \
  "$PWD/build-windows/bin" "$work/0013cst.ini" "$(realpath "$out")"
