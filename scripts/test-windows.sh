#!/usr/bin/env bash
# The Windows side of the test suite, from a fresh Debian machine: installs what is missing,
# builds the shipped 32-bit installer stub (preset win32) and the 64-bit stub with
# zarvo-pack.exe (preset win64), checks both images, and runs the Wine end-to-end tests
# (tests/wine/run-tests.sh) on the 64-bit build, since Wine here runs no 32-bit code.
#
#   scripts/test-windows.sh [POSIX-BUILD-DIR]
#
# The tests make and extract installers with the POSIX zarvo-pack of POSIX-BUILD-DIR
# (default build/, which scripts/test.sh has just built; built here when it is missing).
# Pictures of every box shown go to POSIX-BUILD-DIR/e2e-shots/.
set -euo pipefail
cd "$(dirname "$0")/.."
posix_build=${1:-build}
jobs=$(nproc)

scripts/deps.sh posix windows

for preset in win32 win64; do
  echo "== building preset $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

# The shipped stub: exactly PayloadOffset bytes, importing kernel32 and user32 only (the
# link checks the imports as well; this is the check on what is actually shipped).
stub32=build-win32/bin/zarvo-setup.exe
size=$(stat -c %s "$stub32")
if [ "$size" != 28160 ]; then
  echo "test-windows.sh: $stub32 is $size bytes, not 28160" >&2
  exit 1
fi
check_imports() { # objdump stub
  local dlls
  dlls=$("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
  if [ "$dlls" != "KERNEL32.DLL USER32.DLL " ]; then
    echo "test-windows.sh: $2 imports $dlls; only KERNEL32.DLL and USER32.DLL are allowed" >&2
    exit 1
  fi
}
check_imports i686-w64-mingw32-objdump "$stub32"
check_imports x86_64-w64-mingw32-objdump build-win64/bin/zarvo-setup.exe

echo "== what takes the room in the 32-bit image ($(stat -c %s build-win32/stub/zarvo-setup.exe)" \
     "of 28160 bytes)"
scripts/image-sizes.sh build-win32/stub/zarvo-setup.map | grep -v '(lib\(kernel\|user\)32s'

# The stand-in for Zarvo's executable, padded past the installer's minimum product size.
standin=build-win64/wine/zarvowin.exe
mkdir -p "$(dirname "$standin")"
x86_64-w64-mingw32-g++ -std=c++20 -Os -Wall -Wextra -Werror -fno-exceptions \
  -fno-asynchronous-unwind-tables -nostdlib -nostartfiles -mwindows -Wl,--entry,StandinEntry -s \
  tests/wine/zarvowin_standin.cpp -lkernel32 -o "$standin"
truncate -s 900000 "$standin"

pack="$posix_build/bin/zarvo-pack"
if [ ! -x "$pack" ]; then
  echo "== building zarvo-pack in $posix_build"
  cmake -S . -B "$posix_build" >/dev/null
  cmake --build "$posix_build" -j "$jobs" --target zarvo-pack
fi
pack_exe=()
[ -f build-win64/bin/zarvo-pack.exe ] && pack_exe=(--pack-exe build-win64/bin/zarvo-pack.exe)

echo "== Wine end-to-end tests"
xvfb-run -a -s "-screen 0 1024x768x24" \
  tests/wine/run-tests.sh --stub build-win64/bin/zarvo-setup.exe --standin "$standin" \
  --pack "$pack" "${pack_exe[@]}" --shots "$posix_build/e2e-shots"
