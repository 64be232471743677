#!/usr/bin/env bash
# Times locprox-summary on generated proximity files of the largest problems
# the main program's work arrays accept:
#   widest:  689 locations, 1 year   (MZ holds 3 packed triangles: MAXL <= 689)
#   longest: 390 locations, 626 years (the largest file, about 1.6 GB)
# Builds nothing: pass the build directory that holds locprox-summary
# (default: build). Set RUNS to change the number of timed runs (default 5)
# and CASES to choose the cases (default "widest longest").
set -euo pipefail

build=${1:-build}
program=$build/locprox-summary
[[ -x $program ]] || { echo "no $program: build it first" >&2; exit 2; }
runs=${RUNS:-5}
cases=${CASES:-widest longest}
work=$(mktemp -d "${TMPDIR:-/tmp}/locprox-summary-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# One year's group body (proximity block and three count blocks) of a
# weighted Fisher z run, values drawn from a fixed seed; written once and
# repeated for every year, since every group has the same shape.
group_body() {
  awk -v L="$1" 'BEGIN {
    srand(17)
    for (j = 1; j <= L; j++) {
      line = ""
      for (i = 1; i <= j; i++) {
        v = (i == j) ? 40 : (rand() * 2.4 - 0.6) * 30
        line = line E(v)
        if (i % 10 == 0 || i == j) { printf "%s\r\n", line; line = "" }
      }
    }
    for (b = 1; b <= 3; b++) {
      for (j = 1; j <= L; j++) {
        line = I(25 * (j - 1))
        n = 1
        for (i = 1; i <= j; i++) {
          c = (b == 1) ? (i == j ? 40 : 20 + int(rand() * 30)) : 1
          line = line I(c); n++
          if (n % 30 == 0) { printf "%s\r\n", line; line = "" }
        }
        if (line != "") printf "%s\r\n", line
      }
    }
  }
  function I(v,   s) { s = v ""; return length(s) > 6 ? "******" : sprintf("%6s", s) }
  function E(v,   s, m, e) {
    if (v == 0) s = "0.00000000E+00"
    else {
      s = sprintf("%.7E", v < 0 ? -v : v)
      m = substr(s, 1, 1) substr(s, 3, 7)
      e = substr(s, 11) + 1
      s = "0." m sprintf("E%+03d", e)
      if (v < 0) s = "-" s
    }
    return sprintf("%16s", s)
  }'
}

make_file() {  # locations years file
  local l=$1 n=$2 file=$3
  group_body "$l" > "$work/body"
  {
    printf '%6d%6d%6d%6d%6d%6d%6d\r\n' "$n" "$l" 1 1 "$n" "$n" $((l * (l + 1) / 2))
    printf '     W     R     \0     Z\r\n'
    for ((y = 1; y <= n; y++)); do
      printf '%6d    %-8s\r\n' "$y" "Y$y"
      cat "$work/body"
    done
  } > "$file"
}

# Wall time on a busy machine includes waiting for the processor, so the
# processor time (user + system) is reported beside it.
TIMEFORMAT='%R %U %S'

for name in $cases; do
  case $name in
    widest) l=689 n=1 ;;
    longest) l=390 n=626 ;;
    *) echo "unknown case $name" >&2; exit 2 ;;
  esac
  file=$work/$name.PRX
  make_file "$l" "$n" "$file"
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
