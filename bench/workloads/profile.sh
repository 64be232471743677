#!/usr/bin/env bash
# Profiles one benchmark job with perf (software clock, DWARF call graphs) and
# prints the share of the samples spent under reading, analysis and writing.
# Run bench/run.sh first: it builds the program and generates the jobs.
#
#   bench/workloads/profile.sh [BUILD_DIR] WORKLOAD OPTION_SET
#   e.g. bench/workloads/profile.sh W2 sed-centred-weighted
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(pwd)/build-bench
if (($# == 3)); then
  build=$(cd "$1" && pwd)
  shift
fi
w=$1
set=$2
dir=$build/runs/$w/$set
data=$build/workloads
mkdir -p "$dir"
ln -sf "$data/$w.SEQ" "$dir/$w.SEQ"
ln -sf "$data/$w.NAQ" "$dir/$w.NAQ"
out=$build/perf-$w-$set.data
(cd "$dir" && rm -f "$w.OCC" "$w.PRX" && perf record -q -e cpu-clock -F 2000 --call-graph dwarf,16384 -o "$out" \
  "$build/locprox" <"$data/$w.$set.answers" >console.txt 2>/dev/null)

# Inclusive shares of the operations of each phase, over the samples of both
# threads (the helper thread runs part of the writing and of the
# accumulation). Reading is the observations reader; analysis the counts,
# centring and accumulation; writing the report and proximity writers and the
# file writes under them; the rest is start-up, the dialogue and the records
# the year loop writes itself.
perf report -i "$out" --children --sort symbol 2>/dev/null | awk -v job="$w $set" '
  /^ +[0-9.]+%/ {
    share = $1; sub(/%/, "", share)
    name = $0; sub(/^.*\] /, "", name); sub(/ +- +- *$/, "", name)
    if (name ~ /^locprox::YearReader::next$/) read += share
    else if (name ~ /^locprox::(count_occurrences|centre_locations|standardise_locations|accumulate_distances|accumulate_correlations)$/) analysis += share
    else if (name ~ /^locprox::(write_occurrences|write_kappa|write_proximity_block|write_count_blocks)$/) write += share
  }
  END {
    printf "%s: reading %.1f%%, analysis %.1f%%, writing %.1f%%, rest %.1f%%\n",
      job, read, analysis, write, 100 - read - analysis - write
  }'
echo "samples per thread:"
perf report -i "$out" --no-children --sort pid 2>/dev/null | grep -E '^ +[0-9.]+%'
echo "self time, top symbols:"
perf report -i "$out" --no-children --sort symbol 2>/dev/null | grep -E '^ +[0-9.]+%' | head -15 |
  sed -E 's/ +- +- *$//'
