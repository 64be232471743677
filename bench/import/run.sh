#!/usr/bin/env bash
# Times `locprox import` on a 1.5-million-row tidy table against the time the
# run's own reader takes to read the observations file it writes.
#
#   bench/import/run.sh [--runs N] [--realtime]
#
# Builds locprox (Release) in build-bench, the table generator and the
# reader-only program read_years, generates build-bench/import/trial.csv once,
# then, N times each (default 5), imports it with --replicates mean (one
# observation per plot) and --replicates last (every row with a value), and
# reads each observations file written through the run's year reader.
# Prints the median wall time, the median processor time and the peak
# resident memory of each. --realtime runs them under chrt -f 10 (root
# only), as bench/run.sh does. Nothing generated goes into git.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
runs=5
realtime=()
while (($# > 0)); do
  case "$1" in
    --runs) runs=$2; shift ;;
    --realtime) realtime=(chrt -f 10) ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
  shift
done

build=$root/build-bench
data=$build/import
mkdir -p "$data"
echo "== building $build (Release)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target locprox >/dev/null
c++ -std=c++20 -O2 -Wall -Wextra -o "$build/time_run" bench/workloads/time_run.cpp
c++ -std=c++20 -O2 -Wall -Wextra -o "$build/generate_table" bench/import/generate_table.cpp
c++ -std=c++20 -O2 -Wall -Wextra -ffp-contract=off -I src -o "$build/read_years" \
  bench/import/read_years.cpp "$build/liblocprox_core.a" -lpthread

table=$data/trial.csv
if [ ! -f "$table" ] || [ "$build/generate_table" -nt "$table" ]; then
  echo "== generating $table"
  "$build/generate_table" "$table"
fi
echo "== $table: $(($(wc -l <"$table") - 1)) rows, $(($(stat -c %s "$table") / 1000000)) MB"
echo "== load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# measure NAME COMMAND...: runs the command $runs times, prints the medians.
measure() {
  local name=$1
  shift
  local times=() cpus=() peak=0 seconds rss code cpu
  for ((r = 1; r <= runs; r++)); do
    read -r seconds rss code cpu _ < <("${realtime[@]}" "$build/time_run" /dev/null "$data/$name.out" "$@")
    if [ "$code" != 0 ]; then
      echo "$name: exit status $code" >&2
      cat "$data/$name.out" >&2
      exit 1
    fi
    times+=("$seconds")
    cpus+=("$cpu")
    ((rss > peak)) && peak=$rss
  done
  printf '%-34s %9.3f %9.3f %12d\n' "$name" "$(printf '%s\n' "${times[@]}" | median)" \
    "$(printf '%s\n' "${cpus[@]}" | median)" "$peak"
}

columns=(--location site --entry genotype --value yield)
printf '\n%-34s %9s %9s %12s\n' "step" "median s" "cpu s" "peak RSS KiB"
measure import-mean "$build/locprox" import "$table" --job "$data/MEAN" "${columns[@]}"
measure import-last "$build/locprox" import "$table" --job "$data/LAST" "${columns[@]}" \
  --replicates last
measure read-years-mean "$build/read_years" "$data/MEAN"
measure read-years-last "$build/read_years" "$data/LAST"
echo
tail -n +2 "$data/import-mean.out" | head -9
echo "read_years: $(cat "$data/read-years-mean.out") (MEAN); $(cat "$data/read-years-last.out") (LAST)"
