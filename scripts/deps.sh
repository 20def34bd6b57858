#!/usr/bin/env bash
# Installs the Debian packages a build needs, when they are missing.
# Usage: scripts/deps.sh [posix|windows|fuzz|bench]...   (default: posix)
set -euo pipefail

declare -A sets=(
  [posix]="cmake g++ make libbz2-dev libgtest-dev libgmock-dev bzip2 coreutils"
  [windows]="g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 xvfb xauth xdotool imagemagick osslsigncode openssl dpkg-dev binutils-mingw-w64-i686 binutils-mingw-w64-x86-64"
  [fuzz]="clang-14 libclang-rt-14-dev"
  [bench]="libbenchmark-dev bzip2 valgrind"
)

wanted=()
for set in "${@:-posix}"; do
  for pkg in ${sets[$set]}; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || wanted+=("$pkg")
  done
done
[ ${#wanted[@]} -eq 0 ] && exit 0

echo "Installing: ${wanted[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${wanted[@]}" >/dev/null
