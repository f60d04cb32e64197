#!/usr/bin/env bash
# Builds everything and runs every test. Usage: scripts/test.sh [preset] (default, asan or
# windowless).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
scripts/deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
