#!/usr/bin/env bash
# Builds the Windows flavour with mingw-w64 and runs its tests under Wine, headless, in a fresh
# Wine prefix that is removed afterwards. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh g++-mingw-w64-x86-64-posix wine64 wine googletest

prefix=$(mktemp -d /tmp/launchwright-wine.XXXXXX)
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
}
trap cleanup EXIT

echo "== Windows flavour: build"
cmake --preset windows >/dev/null
cmake --build --preset windows

# A wineserver that a test starts keeps that test's output open, and ctest then waits for it:
# start the server and the prefix before any test runs.
echo "== Windows flavour: Wine prefix in $prefix"
timeout 60 wineserver -p >/dev/null 2>&1
timeout 300 wine wineboot --init >/dev/null 2>&1

echo "== Windows flavour: tests under Wine"
timeout 1800 ctest --preset windows
