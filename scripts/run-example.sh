#!/usr/bin/env bash
# Builds the program and runs the bundled example job in examples/, feeding
# its console answers on standard input. The outputs go to examples/out/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target locprox

mkdir -p examples/out
cp examples/TRIAL.SEQ examples/TRIAL.NAQ examples/out/
(cd examples/out && ../../build/locprox <../TRIAL.answers >console.txt)
echo
echo "Example job run. Its outputs are in examples/out/:"
echo "  examples/out/TRIAL.OCC    the occurrence report"
echo "  examples/out/TRIAL.PRX    the proximity file (sums and counts after every year)"
echo "  examples/out/console.txt  what the program wrote to the console"
