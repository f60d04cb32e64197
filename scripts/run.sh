#!/usr/bin/env bash
# Builds the program and starts it from its program directory, build/bin.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} && -z ${QT_QPA_PLATFORM:-} ]]; then
  echo "Launchwright is built in build/bin, but there is no display to show its window on." >&2
  echo "Run this from a desktop session (or under xvfb-run to try it headless)." >&2
  exit 1
fi
exec build/bin/launchwright
