#!/usr/bin/env bash
# The whole test suite, from a fresh Debian machine: installs what is missing, then builds
# and tests the POSIX build, the ASan+UBSan build, the Windows builds under Wine, and runs
# the fuzz targets for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/deps.sh posix

run_build() { # dir build-type
  echo "== $1 ($2)"
  cmake -S . -B "$1" -DCMAKE_BUILD_TYPE="$2" >/dev/null
  cmake --build "$1" -j "$jobs"
  ctest --test-dir "$1" -j "$jobs" --output-on-failure --timeout 300
}

run_build build RelWithDebInfo
run_build build-asan Sanitize

echo "== Windows builds and their tests under Wine"
scripts/test-windows.sh build
