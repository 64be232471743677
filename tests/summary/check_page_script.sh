#!/bin/sh
# Checks that the HTML report's script parses (node --check, which does not run
# it). Without Node it fails under CI and exits 77 (skipped) elsewhere.
script=$1
node=$(command -v node || command -v nodejs || true)
if [ -z "$node" ]; then
  echo "node not found: scripts/install-deps.sh installs Debian's nodejs package"
  [ -n "${CI:-}" ] && exit 1
  exit 77
fi
exec "$node" --check "$script"
