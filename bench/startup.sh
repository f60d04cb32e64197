#!/bin/sh
# Builds the release program and the minimal Qt list, then times whole-process start-up over
# real temporary folders (see bench/startup.py). Arguments go to startup.py, e.g.
#   bench/startup.sh --runs 101 --sizes 1000/1000/1000 --tray-rss
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh python3
cmake --preset bench >/dev/null
cmake --build --preset bench --target launchwright rwlaunch minimal_list
exec python3 bench/startup.py build-bench/bin build-bench/bench/minimal_list "$@"
