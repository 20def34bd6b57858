#!/usr/bin/env bash
# Benchmarks against the decoder's own speed. Builds build-bench (Release), generates a
# payload of French content in code page 850 (about 49 MB decoded at scale 1), and prints:
#   - the POSIX stub installing it into a prefix (answered on stdin),
#   - bzip2 -dc of the same streams to files (the decoding floor),
#   - bench-reference: libbz2 plus exactly the installer's write(2) calls (the floor with the
#     writes the format requires), and the ratios of the stub to both;
#   - the stub's peak memory against its bound (largest entry, compressed plus decoded, plus
#     libbz2's working memory);
#   - zarvo-pack create -j 2 against -j 1 on four equal large entries;
#   - the Google Benchmark programs (PackLine, DecompressBuffer against libbz2);
#   - a callgrind profile of the stub on a small payload.
# Figures are printed, never checked: a slow or busy machine fails nothing.
#
# Usage: scripts/bench.sh [--scale S] [--runs N] [--no-profile] [--no-micro]
# Environment: ZARVO_BENCH_WORK, the folder for the generated files (default: a new folder
# in /dev/shm, or in $TMPDIR when there is no /dev/shm), removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scale=1 runs=5 profile=1 micro=1
while [ $# -gt 0 ]; do
  case "$1" in
  --scale) scale=$2; shift 2 ;;
  --runs) runs=$2; shift 2 ;;
  --no-profile) profile=0; shift ;;
  --no-micro) micro=0; shift ;;
  -h | --help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) echo "bench.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
done

scripts/deps.sh posix bench

# --- Build -------------------------------------------------------------------------------
build=$root/build-bench
configure=(-DCMAKE_BUILD_TYPE=Release -DZARVO_BENCH=ON -DZARVO_BUILD_TESTS=OFF
  # GCC 12 at -O3 reports false overflows inside libstdc++ (std::string, std::vector).
  "-DCMAKE_CXX_FLAGS=-Wno-error=restrict -Wno-error=stringop-overflow")
log=$build-build.log
if ! { cmake -S . -B "$build" "${configure[@]}" &&
  cmake --build "$build" -j 2 --target zarvo-setup zarvo-pack bench-make-payload \
    bench-reference bench-split-streams bench-timed-run bench-pack-line bench-decompress; } \
  >"$log" 2>&1; then
  tail -30 "$log"
  echo "bench.sh: the build failed (all of it in $log)" >&2
  exit 1
fi
bin=$build/bin

# --- Work folder -------------------------------------------------------------------------
if [ -n "${ZARVO_BENCH_WORK:-}" ]; then
  mkdir -p "$ZARVO_BENCH_WORK"
  work=$(mktemp -d "$ZARVO_BENCH_WORK/zarvo-bench.XXXXXX")
elif [ -d /dev/shm ] && [ -w /dev/shm ]; then
  work=$(mktemp -d /dev/shm/zarvo-bench.XXXXXX)
else
  work=$(mktemp -d)
fi
trap 'rm -rf "$work"' EXIT

# Prints the median of the numbers on stdin.
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
maximum() { sort -g | tail -1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

# Runs one timed command and appends "wall cpu maxrss" to the file $1.
timed() {
  local out=$1; shift
  local line
  line=$("$bin/bench-timed-run" --quiet "$@")
  set -- $line
  if [ "$4" != 0 ]; then echo "bench.sh: a timed command failed (exit $4)" >&2; exit 1; fi
  echo "$1 $2 $3" >>"$out"
}
column_of() { awk -v c="$2" '{ print $c }' "$1"; }

# A Wine-style prefix with a fake Zarvo in C:\ZARVO\ and a fake wine first on PATH.
make_prefix() { # dir
  mkdir -p "$1/dosdevices" "$1/drive_c/ZARVO" "$1/drive_c/SETUP" "$1/fakebin"
  ln -sfn ../drive_c "$1/dosdevices/c:"
  printf '[Zarvo]\r\n' >"$1/drive_c/ZARVO/ab.ini"
  truncate -s 900000 "$1/drive_c/ZARVO/zarvowin.exe"
  printf '#!/bin/sh\nexit 0\n' >"$1/fakebin/wine"
  chmod +x "$1/fakebin/wine"
}
clear_installed() { # prefix
  find "$1/drive_c/ZARVO" -mindepth 1 -maxdepth 1 ! -name ab.ini ! -name zarvowin.exe -delete
}

echo "== Machine"
echo "nproc: $(nproc); CPU: $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'); load: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "scale $scale, $runs runs each, work folder on $(df -P "$work" | awk 'NR == 2 { print $1 }')"

echo "== Payload"
"$bin/bench-make-payload" --scale "$scale" "$work/gen"
pack=("$bin/zarvo-pack" create --stub "$bin/zarvo-setup" --title "Encyclopédie Zarvo"
  --date "2024-01-15 10:00:00")

# --- zarvo-pack threads -----------------------------------------------------------------
for r in $(seq 3); do
  for j in 1 2; do
    timed "$work/pack-j$j" -- "${pack[@]}" -j "$j" -o "$work/par-j$j" "$work/gen/parallel"
  done
done
cmp -s "$work/par-j1" "$work/par-j2" || echo "note: -j 1 and -j 2 wrote different installers"
pack1=$(column_of "$work/pack-j1" 1 | median) pack2=$(column_of "$work/pack-j2" 1 | median)
echo "zarvo-pack create, 4 entries of $(du -sh "$work/gen/parallel" | cut -f1) in all:"
echo "  -j 1: ${pack1} s wall, -j 2: ${pack2} s wall (medians of 3): -j 2 is $(ratio "$pack1" "$pack2") times faster"
echo "  CPU seconds: -j 1 $(column_of "$work/pack-j1" 2 | median), -j 2 $(column_of "$work/pack-j2" 2 | median)"
rm -f "$work"/par-j*

# zarvo-pack gives each entry to one thread: an entry larger than all the others together
# bounds what more threads can do for a payload.
largest_share=$(find "$work/gen/content" -type f -printf '%s\n' |
  awk '{ t += $1; if ($1 > m) m = $1 } END { printf "%.2f", m / t }')
echo "  on the realistic payload below, the largest entry is $(awk -v s="$largest_share" 'BEGIN { printf "%d", s * 100 }')% of the bytes:" \
  "one thread per entry makes -j 2 at most $(awk -v s="$largest_share" 'BEGIN { printf "%.2f", (s > 0.5) ? 1 / s : 2 }') times faster there"
"${pack[@]}" -j 2 -o "$work/installer" "$work/gen/content" >/dev/null
"$bin/zarvo-pack" list "$work/installer" | sed 's/^/  /'

# --- The three ways of installing --------------------------------------------------------
prefix=$work/prefix
make_prefix "$prefix"
cp "$work/installer" "$prefix/drive_c/SETUP/setup.exe"
echo y >"$work/yes"
mkdir -p "$work/streams" "$work/floor" "$work/ref"
"$bin/bench-split-streams" "$work/installer" "$work/streams" >"$work/streams.txt"
cat >"$work/floor.sh" <<EOF
cd "$work/streams"
for f in *.bz2; do bzip2 -dc "\$f" > "$work/floor/\${f%.bz2}"; done
EOF
export WINEPREFIX=$prefix PATH=$prefix/fakebin:$PATH
stub=("$prefix/drive_c/SETUP/setup.exe")
reference=("$bin/bench-reference" "$work/installer" "$work/gen/plan.bin" "$work/ref")

# Rounds of stub, floor, reference, so that a change in the machine's load falls on all three.
for r in $(seq "$runs"); do
  clear_installed "$prefix"
  timed "$work/t-stub" --stdin "$work/yes" -- "${stub[@]}"
  rm -f "$work"/floor/*
  timed "$work/t-floor" -- sh "$work/floor.sh"
  rm -f "$work"/ref/*
  timed "$work/t-ref" -- "${reference[@]}"
done

# The reference must make the installer's writes: same file sizes, same count of write(2).
sizes() { (cd "$1" && find . -maxdepth 1 -type f ! -name ab.ini ! -name zarvowin.exe -printf '%s\n' | sort -n | tr '\n' ' '); }
if [ "$(sizes "$prefix/drive_c/ZARVO")" != "$(sizes "$work/ref")" ]; then
  echo "WARNING: bench-reference's files differ in size from the installer's:" \
    "$(sizes "$prefix/drive_c/ZARVO") / $(sizes "$work/ref")"
fi
if command -v strace >/dev/null; then
  clear_installed "$prefix"
  strace -f -qq -e trace=write,openat,close -o "$work/strace-stub" "${stub[@]}" <"$work/yes" >/dev/null 2>&1
  rm -f "$work"/ref/*
  strace -f -qq -e trace=write,openat,close -o "$work/strace-ref" "${reference[@]}" >/dev/null 2>&1
  # write(2) calls on descriptors other than 1 and 2 (the boxes go to stderr).
  file_writes() { grep -E '^[0-9]+ +write\(([3-9]|[1-9][0-9]+),' "$1" | wc -l; }
  echo "write(2) calls on files: installer $(file_writes "$work/strace-stub"), reference $(file_writes "$work/strace-ref")"
fi

echo "== Installing (medians of $runs; CPU = user + system of the process and its children)"
minimum() { sort -g | head -1; }
report() { # label file
  printf '  %-34s wall %7.3f s (min %7.3f)   CPU %7.3f s (min %7.3f)   peak RSS %7d kB\n' "$1" \
    "$(column_of "$2" 1 | median)" "$(column_of "$2" 1 | minimum)" \
    "$(column_of "$2" 2 | median)" "$(column_of "$2" 2 | minimum)" "$(column_of "$2" 3 | maximum)"
}
report "installer stub" "$work/t-stub"
report "bzip2 -dc (floor)" "$work/t-floor"
report "bench-reference (floor + writes)" "$work/t-ref"
for m in 1 2; do
  for stat in median minimum; do
    s=$(column_of "$work/t-stub" $m | $stat)
    f=$(column_of "$work/t-floor" $m | $stat)
    w=$(column_of "$work/t-ref" $m | $stat)
    what=$([ $m = 1 ] && echo wall || echo CPU)
    printf '  %-4s %-7s: stub / floor = %s, stub / floor-with-writes = %s\n' "$what" "${stat%imum}" \
      "$(ratio "$s" "$f")" "$(ratio "$s" "$w")"
  done
done

# On a machine that others share, whole-run times move by more than the costs looked for.
# Samples inside one run do not: the share of the stub's time spent outside libbz2, the
# kernel and libc (which the reference spends too) is its own code's.
if command -v perf >/dev/null &&
  perf record -q -e cpu-clock -o "$work/perf-probe" true >/dev/null 2>&1; then
  # The stub with its symbols: the linked image, padded like the shipped one.
  symbolic=$prefix/drive_c/SETUP/symbolic.exe
  cp "$build/stub/zarvo-setup" "$symbolic"
  truncate -s "$(stat -c %s "$bin/zarvo-setup")" "$symbolic"
  tail -c +"$(($(stat -c %s "$bin/zarvo-setup") + 1))" "$work/installer" >>"$symbolic"
  clear_installed "$prefix"
  perf record -q -e cpu-clock -F 4999 -o "$work/perf.data" "$symbolic" <"$work/yes" >/dev/null 2>&1
  perf report -i "$work/perf.data" --no-children --sort dso --stdio 2>/dev/null |
    awk '/%/ { sub("%", "", $1); print $1, $2 }' >"$work/perf-dso"
  own=$(awk '$2 == "symbolic.exe" { print $1 }' "$work/perf-dso")
  echo "  perf samples of one stub run, by object: $(awk '{ printf "%s %s%%  ", $2, $1 }' "$work/perf-dso")"
  echo "  the stub's own code: ${own:-0}% of its time, so stub / floor-with-writes is about" \
    "$(awk -v o="${own:-0}" 'BEGIN { printf "%.3f", 100 / (100 - o) }') from the inside"
  perf report -i "$work/perf.data" --no-children --sort symbol --dsos symbolic.exe --stdio \
    2>/dev/null | awk '/%/ { printf "    %6s  %s\n", $1, $3 }' | head -8
fi

# --- Memory ------------------------------------------------------------------------------
# An installer with an empty archive gives the process's own footprint: image, libraries,
# stack and the layer's tables.
empty=$prefix/drive_c/SETUP/empty.exe
{ cat "$bin/zarvo-setup"; printf '\x15\xcd\x5b\x07\x00\x00\x00\x00\x00'; } >"$empty"
chmod +x "$empty"
for r in 1 2 3; do timed "$work/t-empty" --stdin "$work/yes" -- "$empty"; done
base=$(column_of "$work/t-empty" 3 | median)
peak=$(column_of "$work/t-stub" 3 | maximum)
# The largest entry's compressed plus decoded bytes, and libbz2's decoder with block size 9 in
# normal mode: 3,600,000 bytes of tt plus about 64 kB of state.
largest=$(awk '{ s = $3 + $4; if (s > m) m = s } END { print m }' "$work/streams.txt")
bound_kb=$(( (largest + 3600000 + 65536) / 1024 ))
echo "== Peak memory"
echo "  stub peak RSS ${peak} kB; empty-archive stub ${base} kB; difference $((peak - base)) kB"
echo "  bound: largest entry compressed + decoded + libbz2 = ${bound_kb} kB"
echo "  (peak - empty) / bound = $(ratio $((peak - base)) "$bound_kb"); peak / (bound + empty) = $(ratio "$peak" $((bound_kb + base)))"
echo "  reference peak RSS $(column_of "$work/t-ref" 3 | maximum) kB"

# --- Micro-benchmarks --------------------------------------------------------------------
if [ "$micro" = 1 ]; then
  # Repetitions in random order, medians only: on a shared machine the load moves between
  # one benchmark and the next.
  gbench=(--benchmark_min_time=0.2 --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
    --benchmark_report_aggregates_only=true)
  only_medians() { awk '/^Benchmark/ { print; next } /_median/ { print | "sort" }' | sed 's/^/  /'; }
  echo "== PackLine (French lines: bytes of line per second)"
  "$bin/bench-pack-line" "${gbench[@]}" 2>/dev/null | only_medians
  echo "== DecompressBuffer against libbz2 (decoded bytes per second)"
  "$bin/bench-decompress" "${gbench[@]}" 2>/dev/null | only_medians
fi

# --- Profile -----------------------------------------------------------------------------
if [ "$profile" = 1 ] && command -v valgrind >/dev/null; then
  echo "== Profile: callgrind, the stub on a payload at scale 0.04 (instructions, not syscalls)"
  "$bin/bench-make-payload" --scale 0.04 "$work/small" >/dev/null
  # The unstripped image, so that the profile names our functions.
  "${pack[@]}" -j 2 -o "$work/small.exe" "$work/small/content" >/dev/null
  small=$prefix/drive_c/SETUP/small.exe
  cp "$build/stub/zarvo-setup" "$small"
  truncate -s "$(stat -c %s "$bin/zarvo-setup")" "$small"
  tail -c +"$(($(stat -c %s "$bin/zarvo-setup") + 1))" "$work/small.exe" >>"$small"
  clear_installed "$prefix"
  # One file per process: the launch forks, and the fork's profile must not overwrite the
  # installer's. The installer's is the one that counted the most.
  valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.%p.out" \
    "$small" <"$work/yes" >/dev/null 2>"$work/valgrind.log"
  profile_file=$(grep -H '^totals:' "$work"/callgrind.*.out | sort -t' ' -k2 -n | tail -1 | cut -d: -f1)
  callgrind_annotate "$profile_file" 2>/dev/null | grep -E '^ *[0-9,]+ +\(' | head -14 |
    sed -E 's/ \[[^]]*\]$//; s/^/  /'
fi
