#!/usr/bin/env bash
# Builds the program (Release) and the workload generator, generates the wide
# (W1), long (W2) and network-shaped (W3) benchmark jobs once, runs each with
# the four option sets several times, prints the median wall time and the
# peak resident memory of the whole process, and checks the SHA-256 of every
# output (report, proximity file, console) against
# bench/workloads/expected.sha256. W3 (600 locations, 12,000 entries) is too
# large for the dialogue's work arrays and runs through locprox run, which
# sizes them to the problem; with --plain through sized-run-reference, the
# same run on the reference accumulation (bench/workloads/sized_run.cpp).
#
#   bench/run.sh [--plain] [--runs N] [--workloads "W1 W2 W3"] [--record] [--realtime]
#                [--against PROGRAM]
#
#   --plain      run locprox-reference (and for W3 sized-run-reference) instead, built with
#                -DLOCPROX_BENCH_REFERENCE=ON in build-plain: the program on the
#                one-pair-at-a-time reference accumulation
#                (tests/analysis/reference_accumulation.h), which the
#                checksums come from
#   --runs N     runs per job and option set (default 5); the median is shown
#   --workloads  which workloads to run (default "W1 W2 W3")
#   --record     write the outputs' checksums to expected.sha256 instead of
#                checking them (do this from a --plain build only)
#   --realtime   run the jobs under chrt -f 10 (root only): on a machine busy
#                with other work this keeps them from waiting for a processor,
#                so the wall times approach those of an idle machine
#   --against P  also run the program P (an earlier build of locprox, say)
#                on W1 and W2, each of its runs right after one of ours, so
#                that both see the same state of the machine; prints its
#                median beside ours with the change, and checks that it
#                wrote the same bytes
#
# Each run starts with no outputs from an earlier run in its directory (they
# are removed before the clock starts). Generated jobs and outputs stay under
# the build directory, never in git.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

plain=OFF
runs=5
workloads="W1 W2 W3"
record=no
realtime=()
against=
while (($# > 0)); do
  case "$1" in
    --plain) plain=ON ;;
    --runs) runs=$2; shift ;;
    --workloads) workloads=$2; shift ;;
    --record) record=yes ;;
    --realtime) realtime=(chrt -f 10) ;;
    --against) against=$(realpath "$2"); shift ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
  shift
done

build=$root/build-bench
[ "$plain" = ON ] && build=$root/build-plain
expected=$root/bench/workloads/expected.sha256
jobs=$(nproc 2>/dev/null || echo 2)

# Wall-time and peak-memory targets per option set.
declare -A target=([W1]=0.35 [W2]=0.6 [W3]=5)
declare -A rss_target_kib=([W1]=$((16 * 1024)) [W2]=$((16 * 1024)) [W3]=$((256 * 1024)))
# generate_workload arguments: MAXY MAXL MAXG PERCENT_OBSERVED SEED, or for a
# network: network MAXY MAXL MAXG ACTIVE_L ACTIVE_G PERCENT_OBSERVED SEED.
declare -A shape=([W1]="10 400 600 60 1" [W2]="300 100 300 50 2"
                  [W3]="network 30 600 12000 120 500 50 3")
# The options of locprox run for each option set, and for the reference run
# of W3 its size and the option codes (those the dialogue makes of the
# answers; '-' for the option not asked).
declare -A flags=([sed-centred-weighted]="--distance centred"
                  [sed-standardised-unweighted]="--distance standardised --unweighted"
                  [cor-plain-weighted]="--correlation plain"
                  [cor-fisher-unweighted]="--correlation fisher-z --unweighted")
w3_size="30 600 12000"
declare -A codes=([sed-centred-weighted]=WSC- [sed-standardised-unweighted]=USS-
                  [cor-plain-weighted]=WR-N [cor-fisher-unweighted]=UR-Z)
option_sets="sed-centred-weighted sed-standardised-unweighted cor-plain-weighted cor-fisher-unweighted"

program=locprox
targets=locprox
[ "$plain" = ON ] && program=locprox-reference && targets="locprox-reference sized-run-reference"
echo "== building $targets in $build (Release)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLOCPROX_BENCH_REFERENCE=$plain >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j"$jobs" --target $targets >/dev/null
for tool in generate_workload time_run; do
  if [ ! -x "$build/$tool" ] || [ "bench/workloads/$tool.cpp" -nt "$build/$tool" ]; then
    c++ -std=c++20 -O2 -Wall -Wextra -o "$build/$tool" "bench/workloads/$tool.cpp"
  fi
done

data=$build/workloads
mkdir -p "$data"
for w in $workloads; do
  stamp="$data/$w.generated"
  if [ ! -f "$stamp" ] || [ "$build/generate_workload" -nt "$stamp" ]; then
    echo "== generating $w (${shape[$w]})"
    # shellcheck disable=SC2086
    "$build/generate_workload" "$data" "$w" ${shape[$w]} 
    touch "$stamp"
  fi
done

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

status=0
sums=$(mktemp)
trap 'rm -f "$sums"' EXIT
echo "== load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg) on $jobs processors"
if [ -n "$against" ]; then
  printf '\n%-4s %-28s %9s %9s %9s %12s %11s %7s\n' job "option set" "median s" "min s" \
    "cpu s" "peak RSS KiB" "against s" change
else
  printf '\n%-4s %-28s %9s %9s %9s %12s %s\n' job "option set" "median s" "min s" "cpu s" \
    "peak RSS KiB" "targets (on the median)"
fi
for w in $workloads; do
  for set in $option_sets; do
    dir=$build/runs/$w/$set
    mkdir -p "$dir"
    ln -sf "$data/$w.SEQ" "$dir/$w.SEQ"
    ln -sf "$data/$w.NAQ" "$dir/$w.NAQ"
    times=()
    cpus=()
    against_times=()
    peak=0
    other=$build/runs-against/$w/$set
    if [ -n "$against" ] && [ "$w" != W3 ]; then
      mkdir -p "$other"
      ln -sf "$data/$w.SEQ" "$other/$w.SEQ"
      ln -sf "$data/$w.NAQ" "$other/$w.NAQ"
    fi
    for ((r = 1; r <= runs; r++)); do
      # A first run of a job: replacing last run's 100 MB of outputs would add
      # the kernel's truncation of them to the time.
      rm -f "$dir/$w.OCC" "$dir/$w.PRX"
      if [ "$w" = W3 ] && [ "$plain" = ON ]; then
        # shellcheck disable=SC2086
        read -r seconds rss code cpu < <(cd "$dir" &&
          "${realtime[@]}" "$build/time_run" /dev/null console.txt \
          "$build/sized-run-reference" W3 $w3_size "${codes[$set]}")
      elif [ "$w" = W3 ]; then
        # (standard error: the progress line that a terminal would show)
        # shellcheck disable=SC2086
        read -r seconds rss code cpu < <(cd "$dir" &&
          "${realtime[@]}" "$build/time_run" /dev/null console.txt "$build/locprox" run W3 \
          ${flags[$set]} 2>/dev/null)
      else
        read -r seconds rss code cpu < <(cd "$dir" &&
          "${realtime[@]}" "$build/time_run" "$data/$w.$set.answers" console.txt "$build/$program")
      fi
      if [ "$code" != 0 ]; then
        echo "$w $set: locprox exited with status $code" >&2
        exit 1
      fi
      times+=("$seconds")
      cpus+=("$cpu")
      if [ -n "$against" ] && [ "$w" != W3 ]; then
        rm -f "$other/$w.OCC" "$other/$w.PRX"
        read -r seconds _ code _ < <(cd "$other" &&
          "${realtime[@]}" "$build/time_run" "$data/$w.$set.answers" console.txt "$against")
        if [ "$code" != 0 ]; then
          echo "$w $set: $against exited with status $code" >&2
          exit 1
        fi
        against_times+=("$seconds")
      fi
      ((rss > peak)) && peak=$rss
    done
    med=$(printf '%s\n' "${times[@]}" | median)
    min=$(printf '%s\n' "${times[@]}" | sort -g | head -1)
    cpu_med=$(printf '%s\n' "${cpus[@]}" | median)
    verdict=$(awk -v m="$med" -v t="${target[$w]}" -v p="$peak" -v pt="${rss_target_kib[$w]}" \
      'BEGIN {printf "%s %s", (m < t ? "time ok" : "TIME OVER " t " s"), (p < pt ? "rss ok" : "RSS OVER")}')
    if [ -n "$against" ] && [ "$w" != W3 ]; then
      other_med=$(printf '%s\n' "${against_times[@]}" | median)
      change=$(awk -v a="$med" -v b="$other_med" 'BEGIN {printf "%+.0f %%", (a - b) / b * 100}')
      printf '%-4s %-28s %9.3f %9.3f %9.3f %12d %11.3f %7s\n' "$w" "$set" "$med" "$min" \
        "$cpu_med" "$peak" "$other_med" "$change"
      for f in "$w.OCC" "$w.PRX" console.txt; do
        if ! cmp -s "$dir/$f" "$other/$f"; then
          echo "$w $set: $f differs from that of $against" >&2
          status=1
        fi
      done
    else
      printf '%-4s %-28s %9.3f %9.3f %9.3f %12d %s\n' "$w" "$set" "$med" "$min" "$cpu_med" \
        "$peak" "$verdict"
    fi
    (cd "$build/runs" && sha256sum "$w/$set/$w.OCC" "$w/$set/$w.PRX" "$w/$set/console.txt") >>"$sums"
  done
done

echo
if [ "$record" = yes ]; then
  # Keep the lines of workloads not run this time.
  others=$(mktemp)
  if [ -f "$expected" ]; then
    pattern=$(printf ' %s/|' $workloads)
    grep -Ev "${pattern%|}" "$expected" >"$others" || true
  fi
  sort -k2 "$others" "$sums" >"$expected"
  rm -f "$others"
  echo "== recorded $(wc -l <"$sums") checksums in $expected"
elif [ ! -f "$expected" ]; then
  echo "== no $expected: outputs not checked"
  status=1
else
  bad=0
  while read -r sum path; do
    want=$(awk -v p="$path" '$2 == p {print $1}' "$expected")
    if [ -z "$want" ]; then
      echo "no expected checksum for $path"
      bad=1
    elif [ "$want" != "$sum" ]; then
      echo "MISMATCH $path"
      bad=1
    fi
  done <"$sums"
  if [ "$bad" = 0 ]; then
    echo "== all $(wc -l <"$sums") outputs match $expected byte for byte"
  else
    echo "== outputs differ from $expected"
    status=1
  fi
fi
exit $status
