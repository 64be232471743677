#!/usr/bin/env bash
# The R package: installs it into a temporary library, runs its testthat
# tests against build/locprox, then builds the tarball and checks it.
# Fails on a test failure or on an ERROR or WARNING of the check.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/library"
R CMD INSTALL --library="$work/library" r
LOCPROX_PROGRAM="$root/build/locprox" R_LIBS="$work/library" \
  Rscript -e 'res <- testthat::test_dir("r/tests/testthat", package = "locprox", load_package = "installed", stop_on_failure = TRUE)'

(cd r && ./configure)
(cd "$work" && R CMD build "$root/r" && _R_CHECK_FORCE_SUGGESTS_=false R CMD check --no-manual locprox_*.tar.gz) |
  tee "$work/check.log"
if grep -qE '^Status:.*(ERROR|WARNING)' "$work/check.log"; then
  echo "R CMD check reported an ERROR or WARNING" >&2
  exit 1
fi
