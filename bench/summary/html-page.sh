#!/usr/bin/env bash
# Measures the HTML report of a large network: 600 locations over 30 years
# (a generated weighted Fisher z proximity file, as bench/summary/run.sh
# makes them). Prints the page's size, how many years it holds, the time
# locprox-summary takes to write everything, and the wall time headless
# Chromium takes to open the page and draw it to a screenshot, beside the
# time it takes for an empty page (its own start).
# Usage: bench/summary/html-page.sh [BUILD_DIR]   (needs Debian's chromium)
set -euo pipefail

build=${1:-build}
program=$build/locprox-summary
[[ -x $program ]] || { echo "no $program: build it first" >&2; exit 2; }
chromium=$(command -v chromium || true)
[[ -n $chromium ]] || { echo "no chromium: scripts/install-deps.sh installs it" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/locprox-html-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

root=$(cd "$(dirname "$0")/../.." && pwd)
core=$(find "$build" -name liblocprox_core.a -print -quit)
[[ -n $core ]] || { echo "no liblocprox_core.a under $build: build it first" >&2; exit 2; }
c++ -std=c++20 -O2 -I"$root/src" -o "$work/generate_proximity_file" \
  "$root/bench/summary/generate_proximity_file.cpp" "$core" -lpthread
"$work/generate_proximity_file" 600 30 "$work/NET.PRX"

TIMEFORMAT='%R s wall, %U s user, %S s system'
echo "locprox-summary, 600 locations, 30 years:"
time "$program" "$work/NET.PRX" >/dev/null
page=$work/NET.html
echo "page: $(stat -c %s "$page") bytes, $(grep -o ',"scale":\[' "$page" | wc -l) state(s) held"
open_page() {
  "$chromium" --headless --no-sandbox --disable-gpu --no-first-run --disable-extensions \
    --user-data-dir="$work/profile" --window-size=1400,1000 --screenshot="$work/shot.png" "$1" \
    >/dev/null 2>&1
}
echo "chromium, an empty page:"
time open_page about:blank
echo "chromium, the page:"
time open_page "file://$page"
