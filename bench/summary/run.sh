#!/usr/bin/env bash
# Times locprox-summary on generated proximity files of the largest problems
# the main program's work arrays accept:
#   widest:  689 locations, 1 year   (MZ holds 3 packed triangles: MAXL <= 689)
#   longest: 390 locations, 626 years (the largest file, about 1.6 GB)
#   w3:      600 locations, 30 years, every year adding its own values (each
#            year's values, the pairs' trust figures and leave-one-year-out
#            have real work to do)
# Pass the build directory that holds locprox-summary and the core library
# (default: build); only the file generator is compiled here. Set RUNS to
# change the number of timed runs (default 5) and CASES to choose the cases
# (default "widest longest w3").
set -euo pipefail

build=${1:-build}
program=$build/locprox-summary
[[ -x $program ]] || { echo "no $program: build it first" >&2; exit 2; }
runs=${RUNS:-5}
cases=${CASES:-widest longest w3}
work=$(mktemp -d "${TMPDIR:-/tmp}/locprox-summary-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The proximity files are written by bench/summary/generate_proximity_file.cpp
# through the main program's record writer and the layouts of
# src/format/proximity_records.h, so they have the shape of the files locprox
# writes. It is built here against the core library of the build directory.
root=$(cd "$(dirname "$0")/../.." && pwd)
core=$(find "$build" -name liblocprox_core.a -print -quit)
[[ -n $core ]] || { echo "no liblocprox_core.a under $build: build it first" >&2; exit 2; }
c++ -std=c++20 -O2 -I"$root/src" -o "$work/generate_proximity_file" \
  "$root/bench/summary/generate_proximity_file.cpp" "$core" -lpthread

make_file() {  # locations years file [--growing]
  "$work/generate_proximity_file" "$@"
}

# Wall time on a busy machine includes waiting for the processor, so the
# processor time (user + system) is reported beside it.
TIMEFORMAT='%R %U %S'

for name in $cases; do
  case $name in
    widest) l=689 n=1 grow= ;;
    longest) l=390 n=626 grow= ;;
    w3) l=600 n=30 grow=--growing ;;
    *) echo "unknown case $name" >&2; exit 2 ;;
  esac
  file=$work/$name.PRX
  make_file "$l" "$n" "$file" $grow
  size=$(stat -c %s "$file")
  cat "$file" > /dev/null  # timed runs start with the file in the page cache
  walls=() cpus=()
  for ((r = 0; r < runs; r++)); do
    read -r wall user sys < <({ time "$program" "$file" --out "$work/$name" > /dev/null; } 2>&1)
    walls+=("$wall")
    cpus+=("$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f", u + s }')")
  done
  median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
  printf '%-8s %4d locations %4d years %11d bytes: median of %d runs %s s wall, %s s processor\n' \
    "$name" "$l" "$n" "$size" "$runs" "$(median "${walls[@]}")" "$(median "${cpus[@]}")"
done
