#!/usr/bin/env bash
# Builds the program and analyses the bundled example table,
# examples/variety_trial.csv (six seasons of a winter wheat variety trial at
# eight sites, one row per plot): `locprox analyse` imports it, runs it
# (correlations averaged through Fisher's z, weighted) and summarises it,
# writing everything to examples/out/.
#
#   scripts/run-example.sh              the table, with locprox analyse
#   scripts/run-example.sh --dialogue   the hand-made job examples/TRIAL.* through the
#                                       console dialogue, into examples/out/dialogue/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target locprox

if [[ ${1:-} == --dialogue ]]; then
  mkdir -p examples/out/dialogue
  cp examples/TRIAL.SEQ examples/TRIAL.NAQ examples/out/dialogue/
  (cd examples/out/dialogue && ../../../build/locprox <../../TRIAL.answers >console.txt)
  echo
  echo "The dialogue example job run. Its outputs are in examples/out/dialogue/:"
  echo "  TRIAL.OCC    the occurrence report"
  echo "  TRIAL.PRX    the proximity file (sums and counts after every year)"
  echo "  console.txt  what the program wrote to the console"
  exit 0
fi

echo
build/locprox analyse examples/variety_trial.csv --location site --entry variety --value yield \
  --title "Winter wheat variety trials 2018-2023 (t/ha)" --out examples/out --groups 3
echo
echo "The example is analysed. Its outputs are in examples/out/:"
echo "  variety_trial.svg         the picture: correlations between the sites, with the dendrogram"
echo "  variety_trial.pairs.csv   one row per pair of sites: average correlation, sums and counts"
echo "  variety_trial.matrix.csv  the sites-by-sites matrix of averages"
echo "  variety_trial.tree.csv    the clustering's merges, as R's hclust gives them"
echo "  variety_trial.years.csv   each pair's own value in every year it was compared"
echo "  variety_trial.groups.csv  the groups of every cut from 2 to 7 groups"
echo "  variety_trial.stability.csv  with each year left out, how often two sites share a group"
echo "  variety_trial.OCC, .PRX   the run's report and proximity file"
echo "  variety_trial.NAQ, .SEQ   the job files the import wrote (names in variety_trial.names.csv)"
