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
#                [--against PROGRAM] [--tables "S M L"]
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
#                on each workload (W3 through its run command), each of its runs
#                right after one of ours, so that both see the same state of the
#                machine; prints its median wall and processor time beside ours
#                with the changes, and checks that it
#                wrote the same bytes (with --tables: runs P analyse right after
#                each of our analyse runs of a table and compares every output)
#   --tables T   times `locprox analyse` of the generated tidy tables T (S, M, L;
#                see "Tidy tables" below) and each of its steps alone (import, run,
#                summary); without --workloads, only the tables are run
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
tables=
workloads_given=no
while (($# > 0)); do
  case "$1" in
    --plain) plain=ON ;;
    --runs) runs=$2; shift ;;
    --workloads) workloads=$2; workloads_given=yes; shift ;;
    --tables) tables=$2; shift ;;
    --record) record=yes ;;
    --realtime) realtime=(chrt -f 10) ;;
    --against) against=$(realpath "$2"); shift ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
  shift
done
[ -n "$tables" ] && [ "$workloads_given" = no ] && workloads=
if [ -n "$tables" ] && [ "$plain" = ON ]; then
  echo "--tables runs locprox analyse, which --plain does not build" >&2
  exit 2
fi

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
if [ -n "$tables" ]; then targets="locprox locprox-summary"; fi
[ "$plain" = ON ] && program=locprox-reference && targets="locprox-reference sized-run-reference"
echo "== building $targets in $build (Release)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLOCPROX_BENCH_REFERENCE=$plain >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j"$jobs" --target $targets >/dev/null
for source in bench/workloads/generate_workload.cpp bench/workloads/time_run.cpp \
  bench/tables/generate_tidy_table.cpp; do
  tool=$(basename "$source" .cpp)
  if [ ! -x "$build/$tool" ] || [ "$source" -nt "$build/$tool" ]; then
    c++ -std=c++20 -O2 -Wall -Wextra -o "$build/$tool" "$source"
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

# time_job PROGRAM DIR: one run of workload $w with option set $set by
# PROGRAM in DIR, W3 through its run command (standard error, the progress
# line a terminal would show, dropped) and the others through the console
# dialogue's answers; sets seconds, rss, code and cpu.
time_job() {
  local program=$1 dir=$2
  if [ "$w" = W3 ]; then
    # shellcheck disable=SC2086
    read -r seconds rss code cpu _ < <(cd "$dir" &&
      "${realtime[@]}" "$build/time_run" /dev/null console.txt "$program" run W3 \
      ${flags[$set]} 2>/dev/null)
  else
    read -r seconds rss code cpu _ < <(cd "$dir" &&
      "${realtime[@]}" "$build/time_run" "$data/$w.$set.answers" console.txt "$program")
  fi
}

status=0
sums=$(mktemp)
trap 'rm -f "$sums"' EXIT
echo "== load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg) on $jobs processors"

# Tidy tables: generate_tidy_table FILE YEARS LOCATIONS ENTRIES ACTIVE_L ACTIVE_G
# REPLICATES PERCENT_OBSERVED SEED. S: 0.72 M rows; M: 1.8 M rows; L: the
# network shape of W3 as a field book, three replicates, 2.7 M rows.
declare -A table_shape=([S]="10 60 1500 60 600 2 100 1" [M]="30 300 8000 100 300 2 100 2"
                        [L]="30 600 12000 120 500 3 50 3")
# The outputs of analyse whose bytes are checked. The picture (.svg) is not:
# it holds the heatmap as a zlib-compressed PNG, whose bytes may change with
# the compression level while the image stays the same (the summary's tests
# decode it).
table_outputs="NAQ SEQ names.csv OCC PRX console.txt pairs.csv matrix.csv tree.csv years.csv"
# The kernel's pair-entry steps per second (accumulation_bench, kernel alone,
# distances and Fisher-z correlations on the network year).
kernel_rate_low=2.7e9
kernel_rate_high=3.6e9

# table_row LABEL WALL USER SYSTEM CPU PEAK: one line of a table's figures.
table_row() {
  local label=$1; shift
  printf '%-22s %8.3f %8.3f %8.3f %8.3f %12d %s\n' "$label" "$@"
}

run_tables() {
  local t r dir steps bytes
  echo
  echo "== tidy tables: medians of $runs runs (wall, user, system in seconds; peak RSS in KiB)"
  for t in $tables; do
    local table=$data/$t.csv
    if [ ! -f "$table" ] || [ "$build/generate_tidy_table" -nt "$table" ]; then
      echo "== generating $t (${table_shape[$t]})"
      # shellcheck disable=SC2086
      "$build/generate_tidy_table" "$table" ${table_shape[$t]} >"$data/$t.steps"
    fi
    steps=$(cat "$data/$t.steps")
    echo "-- $t: $(($(wc -l <"$table") - 1)) rows, $(($(stat -c %s "$table") / 1000000)) MB;" \
      "load average $(cut -d' ' -f1-3 /proc/loadavg)"
    printf '%-22s %8s %8s %8s %8s %12s %s\n' step wall user system cpu "peak RSS" ""
    local -A wall=() user=() sys=() cpu=() peak=()
    local steps_names="analyse import run summary"
    [ -n "$against" ] && steps_names="analyse against import run summary"
    local whole=$build/tables/$t/analyse other=$build/tables/$t/against
    local parts=$build/tables/$t/steps
    for ((r = 1; r <= runs; r++)); do
      local seconds rss code c u s
      rm -rf "$whole" "$parts" "$other"
      mkdir -p "$whole" "$parts" "$other"
      ln -sf "$table" "$whole/$t.csv"
      ln -sf "$table" "$parts/$t.csv"
      ln -sf "$table" "$other/$t.csv"
      # The whole analysis, then (with --against) the other program's.
      read -r seconds rss code c u s < <(cd "$whole" &&
        "${realtime[@]}" "$build/time_run" /dev/null stdout.txt "$build/locprox" analyse "$t.csv" \
        --out . 2>/dev/null)
      [ "$code" = 0 ] || { echo "$t: analyse exited with status $code" >&2; exit 1; }
      wall[analyse]+="$seconds "; user[analyse]+="$u "; sys[analyse]+="$s "; cpu[analyse]+="$c "
      ((rss > ${peak[analyse]:-0})) && peak[analyse]=$rss
      if [ -n "$against" ]; then
        read -r seconds rss code c u s < <(cd "$other" &&
          "${realtime[@]}" "$build/time_run" /dev/null stdout.txt "$against" analyse "$t.csv" \
          --out . 2>/dev/null)
        [ "$code" = 0 ] || { echo "$t: $against exited with status $code" >&2; exit 1; }
        wall[against]+="$seconds "; user[against]+="$u "; sys[against]+="$s "; cpu[against]+="$c "
        ((rss > ${peak[against]:-0})) && peak[against]=$rss
      fi
      # The same three steps one by one.
      read -r seconds rss code c u s < <(cd "$parts" &&
        "${realtime[@]}" "$build/time_run" /dev/null import.txt "$build/locprox" import "$t.csv")
      [ "$code" = 0 ] || { echo "$t: import exited with status $code" >&2; exit 1; }
      wall[import]+="$seconds "; user[import]+="$u "; sys[import]+="$s "; cpu[import]+="$c "
      ((rss > ${peak[import]:-0})) && peak[import]=$rss
      read -r seconds rss code c u s < <(cd "$parts" &&
        "${realtime[@]}" "$build/time_run" /dev/null run.txt "$build/locprox" run "$t" \
        --correlation fisher-z 2>/dev/null)
      [ "$code" = 0 ] || { echo "$t: run exited with status $code" >&2; exit 1; }
      wall[run]+="$seconds "; user[run]+="$u "; sys[run]+="$s "; cpu[run]+="$c "
      ((rss > ${peak[run]:-0})) && peak[run]=$rss
      read -r seconds rss code c u s < <(cd "$parts" &&
        "${realtime[@]}" "$build/time_run" /dev/null summary.txt "$build/locprox-summary" \
        "$t.PRX")
      [ "$code" = 0 ] || { echo "$t: locprox-summary exited with status $code" >&2; exit 1; }
      wall[summary]+="$seconds "; user[summary]+="$u "; sys[summary]+="$s "; cpu[summary]+="$c "
      ((rss > ${peak[summary]:-0})) && peak[summary]=$rss
    done
    local name
    for name in $steps_names; do
      local label=$name
      [ "$name" = analyse ] && label="analyse (whole)"
      [ "$name" = against ] && label="analyse, against"
      table_row "$label" "$(tr ' ' '\n' <<<"${wall[$name]}" | grep . | median)" \
        "$(tr ' ' '\n' <<<"${user[$name]}" | grep . | median)" \
        "$(tr ' ' '\n' <<<"${sys[$name]}" | grep . | median)" \
        "$(tr ' ' '\n' <<<"${cpu[$name]}" | grep . | median)" "${peak[$name]}"
    done
    # The floors: the accumulation's arithmetic at the kernel's rate, and
    # writing the bytes the run writes (report and proximity file) with
    # 1 MiB writes into a new file.
    bytes=$(($(stat -c %s "$whole/$t.OCC") + $(stat -c %s "$whole/$t.PRX")))
    local floor_times=()
    for ((r = 1; r <= runs; r++)); do
      rm -f "$parts/floor.bytes"
      read -r seconds _ _ _ _ _ < <("$build/time_run" /dev/null /dev/null /bin/dd if=/dev/zero \
        of="$parts/floor.bytes" bs=1M count=$(((bytes + 1048575) / 1048576)) status=none)
      floor_times+=("$seconds")
    done
    rm -f "$parts/floor.bytes"
    awk -v s="$steps" -v lo="$kernel_rate_low" -v hi="$kernel_rate_high" -v b="$bytes" \
      -v w="$(printf '%s\n' "${floor_times[@]}" | median)" 'BEGIN {
        printf "floors: %.0f M pair-entry steps: %.3f-%.3f s at the kernel'"'"'s %.1f-%.1f G steps/s;\n", s / 1e6, s / hi, s / lo, lo / 1e9, hi / 1e9
        printf "        %.0f MB of report and proximity file: %.3f s to write as many bytes (dd, 1 MiB writes)\n", b / 1e6, w }'
    local f
    for f in $table_outputs; do
      local file=$t.$f
      [ "$f" = console.txt ] && file=$t.console.txt
      (cd "$build/tables" && sha256sum "$t/analyse/$file") >>"$sums"
      if [ -n "$against" ] && ! cmp -s "$whole/$file" "$other/$file"; then
        echo "$t: $file differs from that of $against" >&2
        status=1
      fi
    done
    for f in OCC PRX; do
      cmp -s "$whole/$t.$f" "$parts/$t.$f" || { echo "$t: run's $f differs from analyse's" >&2; status=1; }
    done
  done
}
if [ -n "$tables" ]; then run_tables; fi
if [ -z "$workloads" ]; then
  :
elif [ -n "$against" ]; then
  printf '\n%-4s %-28s %9s %9s %9s %12s %11s %7s %11s %7s\n' job "option set" "median s" \
    "min s" "cpu s" "peak RSS KiB" "against s" change "against cpu" change
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
    against_cpus=()
    peak=0
    other=$build/runs-against/$w/$set
    if [ -n "$against" ]; then
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
        read -r seconds rss code cpu _ < <(cd "$dir" &&
          "${realtime[@]}" "$build/time_run" /dev/null console.txt \
          "$build/sized-run-reference" W3 $w3_size "${codes[$set]}")
      else
        time_job "$build/$program" "$dir"
      fi
      if [ "$code" != 0 ]; then
        echo "$w $set: locprox exited with status $code" >&2
        exit 1
      fi
      times+=("$seconds")
      cpus+=("$cpu")
      if [ -n "$against" ]; then
        rm -f "$other/$w.OCC" "$other/$w.PRX"
        kept_rss=$rss  # ours: the peak shown is our program's
        time_job "$against" "$other"
        rss=$kept_rss
        if [ "$code" != 0 ]; then
          echo "$w $set: $against exited with status $code" >&2
          exit 1
        fi
        against_times+=("$seconds")
        against_cpus+=("$cpu")
      fi
      ((rss > peak)) && peak=$rss
    done
    med=$(printf '%s\n' "${times[@]}" | median)
    min=$(printf '%s\n' "${times[@]}" | sort -g | head -1)
    cpu_med=$(printf '%s\n' "${cpus[@]}" | median)
    verdict=$(awk -v m="$med" -v t="${target[$w]}" -v p="$peak" -v pt="${rss_target_kib[$w]}" \
      'BEGIN {printf "%s %s", (m < t ? "time ok" : "TIME OVER " t " s"), (p < pt ? "rss ok" : "RSS OVER")}')
    if [ -n "$against" ]; then
      other_med=$(printf '%s\n' "${against_times[@]}" | median)
      other_cpu=$(printf '%s\n' "${against_cpus[@]}" | median)
      change=$(awk -v a="$med" -v b="$other_med" 'BEGIN {printf "%+.0f %%", (a - b) / b * 100}')
      cpu_change=$(awk -v a="$cpu_med" -v b="$other_cpu" 'BEGIN {printf "%+.0f %%", (a - b) / b * 100}')
      printf '%-4s %-28s %9.3f %9.3f %9.3f %12d %11.3f %7s %11.3f %7s\n' "$w" "$set" "$med" \
        "$min" "$cpu_med" "$peak" "$other_med" "$change" "$other_cpu" "$cpu_change"
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
    pattern=$(printf ' %s/|' $workloads $tables)
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
