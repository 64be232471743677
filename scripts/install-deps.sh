#!/usr/bin/env bash
# Installs what the build and the tests need beyond the machine's own tools,
# from Debian's packages, when it is missing.
set -euo pipefail

packages=(cmake g++ make pkg-config libgtest-dev librsvg2-bin valgrind zlib1g-dev libmpfr-dev libcsv-dev libcli11-dev
  python3 chromium nodejs
  r-base-core r-base-dev r-cran-rcpp r-cran-testthat)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" </dev/null
fi
