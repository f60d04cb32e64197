# shellcheck shell=bash
# Sourced by the scripts that run the Windows flavour under Wine: a fresh, headless Wine prefix
# in a temporary folder, its server and first start done, removed again when the script exits.
# Usage: . scripts/wine-prefix.sh <name>
prefix=$(mktemp -d "/tmp/$1.XXXXXX")
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
}
trap cleanup EXIT
# A wineserver that a test starts keeps that test's output open, and ctest then waits for it:
# start the server and the prefix before anything runs.
echo "== Wine prefix in $prefix"
timeout 60 wineserver -p >/dev/null 2>&1
timeout 300 wine wineboot --init >/dev/null 2>&1
