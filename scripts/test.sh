#!/usr/bin/env bash
# The whole test suite, from a fresh Debian machine: installs what is missing, builds the
# normal and the ASan+UBSan configurations, and runs every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/deps.sh posix

run_build() { # dir build-type
  cmake -S . -B "$1" -DCMAKE_BUILD_TYPE="$2" >/dev/null
  cmake --build "$1" -j "$jobs"
  ctest --test-dir "$1" -j "$jobs" --output-on-failure --timeout 300
}

run_build build RelWithDebInfo
run_build build-asan Sanitize
