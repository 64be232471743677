#!/usr/bin/env bash
# Runs the example job (examples/TRIAL.*) through locprox and locprox-summary
# and renders the summary's SVG to the PNG shown in the README. Prints the
# summary and the first rows of the tidy CSV, for the README as well.
# Usage: bench/summary/render-example.sh [BUILD_DIR] [PNG]
#   BUILD_DIR  where locprox and locprox-summary are (default: build)
#   PNG        the picture to write (default: summary-example.png beside README.md)
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
png=${2:-$root/summary-example.png}
case $png in /*) ;; *) png=$PWD/$png ;; esac
out=$root/examples/out/summary
rm -rf "$out"
mkdir -p "$out"
cp "$root/examples/TRIAL.SEQ" "$root/examples/TRIAL.NAQ" "$out/"
cd "$out"
"$build/locprox" < "$root/examples/TRIAL.answers" > console.txt
"$build/locprox-summary" TRIAL.PRX --groups 2 | tee summary.txt
echo
head -n 6 TRIAL.pairs.csv
rsvg-convert -o "$png" TRIAL.svg
echo
echo "wrote $png"
