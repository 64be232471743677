#!/usr/bin/env bash
# Rebuilds the expected outputs of every golden job (tests/fixtures/golden/*/)
# and of the example job (examples/) from the Python reference model.
# Each job directory holds its inputs and one *.answers file (the console
# answers); the model writes console.txt and the two output files into the
# job's expected/ directory, which is emptied first.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
model="$root/tests/golden/reference_model.py"

regenerate() {
  local dir="$1"
  local answers
  answers=$(ls "$dir"/*.answers)
  rm -rf "$dir/expected"
  python3 "$model" "$dir" "$answers" "$dir/expected"
  echo "regenerated $dir/expected"
}

for dir in "$root"/tests/fixtures/golden/*/; do
  regenerate "${dir%/}"
done
regenerate "$root/examples"
