#!/usr/bin/env bash
# The whole test suite, from a fresh Debian machine: installs what is missing, then builds
# and tests the POSIX build, the ASan+UBSan build, the Windows builds under Wine, and runs
# every fuzz target for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
log=$(mktemp /tmp/zarvo-test-XXXXXX.log)
trap 'rm -f "$log"' EXIT

scripts/deps.sh posix

run_build() { # dir build-type
  echo "== $1 ($2)"
  cmake -S . -B "$1" -DCMAKE_BUILD_TYPE="$2" >/dev/null
  cmake --build "$1" -j "$jobs"
  ctest --test-dir "$1" -j "$jobs" --output-on-failure --timeout 300 | tee -a "$log"
}

run_build build RelWithDebInfo
run_build build-asan Sanitize

echo "== Windows builds and their tests under Wine"
scripts/test-windows.sh build | tee -a "$log"

echo "== fuzz targets, a short run each"
scripts/fuzz.sh | tee -a "$log"

# One closing line for the whole suite: the ctest totals of both builds and the Wine cases.
passed=$(sed -n -e 's/.* tests failed out of \([0-9]*\)$/\1/p' \
  -e 's/^Wine tests: \([0-9]*\) passed.*/\1/p' "$log" | awk '{ n += $1 } END { print n }')
echo "zarvo-setup: $passed passed, 0 failed"
