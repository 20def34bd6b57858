#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) under ASan and UBSan and runs each over its seed corpus.
# Any finding (a crash, a sanitizer report, a broken check, a timeout) fails the script and
# leaves its input in build-fuzz/findings/<target>/.
#
# Usage: scripts/fuzz.sh [seconds-per-target] [target...]
#   scripts/fuzz.sh          a short run of every target, for CI (20 s each)
#   scripts/fuzz.sh 600      a longer run by hand
#   scripts/fuzz.sh 60 driver writers
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

seconds=${1:-20}
shift || true
case $seconds in
'' | *[!0-9]*)
  echo "usage: scripts/fuzz.sh [seconds-per-target] [target...]" >&2
  exit 2
  ;;
esac
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(pack_line unpack_line decompress writers driver)

scripts/deps.sh posix fuzz

build=$root/build-fuzz
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DZARVO_FUZZ=ON -DZARVO_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target zarvo-fuzzers

failed=()
for target in "${targets[@]}"; do
  program=$build/fuzz/${target}_fuzzer
  seeds=$root/fuzz/corpus/$target
  if [ ! -x "$program" ] || [ ! -d "$seeds" ]; then
    echo "fuzz.sh: no target $target" >&2
    exit 2
  fi
  # New inputs go to a scratch corpus, so the committed seeds stay as they are; findings go
  # to their own directory.
  work=$build/corpus/$target findings=$build/findings/$target
  mkdir -p "$work" "$findings"
  echo "== $target: $seconds s"
  if ! "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$work" "$seeds" >"$build/$target.log" 2>&1; then
    failed+=("$target")
    echo "fuzz.sh: $target found something; its report:" >&2
    grep -v -E '^#[0-9]+ +(NEW|REDUCE|pulse)' "$build/$target.log" | tail -n 40 >&2
    ls -l "$findings" >&2
  else
    grep -E '^(Done|stat::number_of_executed_units)' "$build/$target.log" || true
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: findings in ${failed[*]}: reproduce with build-fuzz/fuzz/<target>_fuzzer <file>" >&2
  exit 1
fi
echo "fuzz.sh: no findings"
