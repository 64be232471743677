#!/usr/bin/env bash
# Builds the program and every test, runs them, then builds and runs them
# again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DLOCPROX_WERROR=$werror -DBUILD_TESTING=ON >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs" </dev/null)

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DLOCPROX_SANITIZE=ON \
  -DLOCPROX_WERROR=$werror -DBUILD_TESTING=ON >/dev/null
cmake --build build-sanitize -j"$jobs"
(cd build-sanitize && ctest --output-on-failure -j"$jobs" </dev/null)

# The example job under valgrind memcheck, on the build without sanitizers.
tests/faults/valgrind.sh build/locprox

# The R package in r/.
scripts/test-r.sh
