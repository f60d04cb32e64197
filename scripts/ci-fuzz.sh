#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in their own build folder and runs each one for a
# while on its seed corpus in fuzz/corpus/<target>/, with its words in fuzz/<target>.dict where
# it has them. Any crash, leak, sanitizer report or hang fails the script; the input that caused
# it is kept in the build folder's artifacts/.
# A run is reproducible: a fixed seed and a fixed number of inputs per target (about 20 s each on
# a quiet machine), so a finding is the same on every machine and not a matter of speed; the
# seconds only cap a very slow one. LW_FUZZ_SEED picks another seed for a longer hunt by hand.
#   scripts/ci-fuzz.sh [seconds per target at most, default 120]
set -euo pipefail

seconds=${1:-120}
seed=${LW_FUZZ_SEED:-1}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${LW_FUZZ_BUILD_DIR:-$root/build-fuzz}
targets=(language_file_fuzz custom_entries_fuzz backup_file_fuzz desktop_verdict_fuzz)
declare -A runs=([language_file_fuzz]=200000 [custom_entries_fuzz]=40000 [backup_file_fuzz]=30000
  [desktop_verdict_fuzz]=200000)

"$root/scripts/deps.sh" clang libclang-rt-14-dev

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBUILD_FUZZERS=ON -DBUILD_GUI=OFF -DBUILD_TESTING=OFF -DBUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"

mkdir -p "$build/artifacts"
status=0
for target in "${targets[@]}"; do
  # New inputs go to a scratch corpus so that the committed seeds stay small.
  work="$build/corpus/$target"
  mkdir -p "$work"
  # A target's words, where it has them, lead the mutations to the inputs that matter.
  dictionary=()
  [[ -f $root/fuzz/$target.dict ]] && dictionary=(-dict="$root/fuzz/$target.dict")
  echo "== $target: ${runs[$target]} inputs, seed $seed"
  if ! "$build/fuzz/$target" -seed="$seed" -runs="${runs[$target]}" -max_total_time="$seconds" \
      -timeout=10 -print_final_stats=1 \
      "${dictionary[@]}" \
      -artifact_prefix="$build/artifacts/$target-" "$work" "$root/fuzz/corpus/$target" \
      >"$build/$target.log" 2>&1; then
    echo "!! $target failed; the input is in $build/artifacts/" >&2
    tail -n 40 "$build/$target.log" >&2
    status=1
  else
    grep -E '^stat::number_of_executed_units' "$build/$target.log" || true
  fi
done
exit $status
