#!/usr/bin/env bash
# Analyses the bundled example table and takes a screenshot of its HTML
# report in headless Chromium, for the README.
# Usage: bench/summary/render-page.sh [BUILD_DIR] [PNG]
#   BUILD_DIR  where locprox is (default: build)
#   PNG        the screenshot to write (default: docs/html-report.png)
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
png=${2:-$root/docs/html-report.png}
case $png in /*) ;; *) png=$PWD/$png ;; esac
work=$(mktemp -d "${TMPDIR:-/tmp}/locprox-page.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/locprox" analyse "$root/examples/variety_trial.csv" --location site --entry variety \
  --value yield --title "Winter wheat variety trials 2018-2023 (t/ha)" --out "$work" >/dev/null
chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-extensions \
  --user-data-dir="$work/profile" --hide-scrollbars --window-size=1280,1000 \
  --screenshot="$png" "file://$work/variety_trial.html" >/dev/null 2>&1
echo "wrote $png"
