#!/usr/bin/env bash
# Builds the fuzz targets from the main project (-DLOCPROX_FUZZ=ON, clang++:
# the targets link the core library the program ships) and runs each for
# SECONDS (default 600), one after another, each on a working corpus seeded
# from tests/fixtures/fuzz/<target>.
# With --merge, afterwards folds what the runs found into the kept corpus
# (corpus-* files), minimised: libFuzzer's -merge keeps the fewest inputs
# with the same edge coverage. Inputs that made a target fail are left in BUILD/artifacts:
# copy each into tests/fixtures/fuzz/<target>/ as crash-<name> once fixed.
#
#   fuzz/run.sh [SECONDS] [--merge]      (needs clang and libclang-rt-14-dev)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
seconds=${1:-600}
merge=${2:-}
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLOCPROX_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_free_form fuzz_records fuzz_whole_run fuzz_table \
  fuzz_names_table >/dev/null
mkdir -p "$build/artifacts"

run() {
  local target=$1
  local limits=()
  # The table of names is a few kilobytes here: no single allocation may
  # grow with a number written in it (a row numbered 10000000 costs a bit
  # per number, 1.2 MiB).
  [[ $target == names_table ]] && limits=(-malloc_limit_mb=16)
  mkdir -p "$build/corpus/$target"
  # The table targets write files for every input: on tmpfs they run faster.
  TMPDIR=${FUZZ_TMPDIR:-/dev/shm} "$build/fuzz_$target" -max_total_time="$seconds" -timeout=30 \
    -print_final_stats=1 "${limits[@]}" \
    -artifact_prefix="$build/artifacts/$target-" "$build/corpus/$target" \
    "$root/tests/fixtures/fuzz/$target" >"$build/fuzz_$target.log" 2>&1
}

status=0
for target in free_form records whole_run table names_table; do
  run $target || status=1
done
for target in free_form records whole_run table names_table; do
  echo "$target: $(grep -E '^Done' "$build/fuzz_$target.log" || echo 'stopped with a finding')"
done

if [[ $merge == --merge ]]; then
  for target in free_form records whole_run table names_table; do
    kept=$root/tests/fixtures/fuzz/$target
    fresh=$build/merged/$target
    rm -rf "$fresh" && mkdir -p "$fresh"
    # Edge coverage only: hit counts would keep many near-copies.
    "$build/fuzz_$target" -merge=1 -use_counters=0 -use_value_profile=0 "$fresh" "$kept" \
      "$build/corpus/$target" >/dev/null 2>&1
    # Seeds (seed-*) and crashers (crash-*) stay whatever the merge chose.
    find "$kept" -type f -name 'corpus-*' -delete
    for input in "$fresh"/*; do
      [[ -e $input ]] && cp "$input" "$kept/corpus-$(basename "$input" | cut -c1-16)"
    done
    echo "$target: $(ls "$kept" | wc -l) inputs kept"
  done
fi
exit $status
