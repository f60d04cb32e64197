#!/usr/bin/env bash
# Builds the benchmarks (the bench preset: Release) and runs every one of them once, briefly, so
# that none stops compiling or running unnoticed. Figures from so short a run mean nothing; the
# bench/README.md says how to measure.
#   scripts/ci-bench.sh [seconds per benchmark, default 0.01]
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
scripts/deps.sh
cmake --preset bench >/dev/null
cmake --build --preset bench
for benchmark in build-bench/bench/bench_*; do
  echo "== $(basename "$benchmark")"
  "$benchmark" --benchmark_min_time="${1:-0.01}"
done
# The logon recorder's own cost over a short session of 100 entries (bench/README.md).
echo "== impact.py"
python3 bench/impact.py build-bench/bin --seconds 3
echo "== Benchmarks: done in $((SECONDS - started)) s"
