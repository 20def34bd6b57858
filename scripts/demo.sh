#!/usr/bin/env bash
# Builds the installer and runs it on the built-in sample (filled in as the tool lands).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh posix
cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc)"
