#!/usr/bin/env bash
# Runs the program under valgrind memcheck: the example job in full, a run
# that stops with an error (a names file cut short), a problem refused for
# lack of work space, and `locprox analyse` of the example table (import, run
# and summary). Any memcheck error or leak fails the script, as does an exit
# status other than the one each run must end with.
#
#   tests/faults/valgrind.sh PATH/TO/locprox
#
# Use a build without the sanitizers (valgrind and AddressSanitizer do not
# mix), e.g. cmake -S . -B build && cmake --build build --target locprox.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
# check NAME EXPECTED_STATUS ANSWERS_FILE [ARGUMENTS...]: runs in $work/NAME.
check() {
  local name=$1 expected=$2 answers=$3 status=0
  shift 3
  (cd "$work/$name" && valgrind --quiet --error-exitcode=99 --leak-check=full \
    --show-leak-kinds=all --errors-for-leak-kinds=definite,indirect,possible \
    --track-origins=yes "$program" "$@" <"$answers" >console.txt 2>errors.txt) || status=$?
  if [[ $status -ne $expected ]]; then
    echo "FAIL $name: status $status, expected $expected" >&2
    sed 's/^/  /' "$work/$name/errors.txt" >&2
    failures=$((failures + 1))
  else
    echo "ok   $name (status $status)"
  fi
}

mkdir "$work/example" "$work/cut" "$work/refused" "$work/analyse"
cp "$root/examples/TRIAL.SEQ" "$root/examples/TRIAL.NAQ" "$work/example/"
check example 0 "$root/examples/TRIAL.answers"

cp "$root/examples/TRIAL.SEQ" "$work/cut/"
head -c 80 "$root/examples/TRIAL.NAQ" >"$work/cut/TRIAL.NAQ"
check cut 2 "$root/examples/TRIAL.answers"

cp "$root/examples/TRIAL.SEQ" "$root/examples/TRIAL.NAQ" "$work/refused/"
printf 'Y\nTRIAL\n5\n707\n12\n1\n5\nw\nr\nz\n' >"$work/refused.answers"
check refused 1 "$work/refused.answers"

cp "$root/examples/variety_trial.csv" "$work/analyse/"
check analyse 0 /dev/null analyse variety_trial.csv --location site --entry variety --value yield \
  --threads 2

exit $((failures > 0))
