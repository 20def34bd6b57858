#!/bin/sh
# Fetches Debian's bzip2 source package with apt and prints the directory of its unpacked
# sources (the one holding bzlib.h). The Windows images compile libbz2 from it; nothing of it
# is kept in the repository.
#
#   scripts/fetch-bzip2.sh [CACHE_DIR]
#
# CACHE_DIR defaults to $ZARVO_CACHE_DIR, else ${XDG_CACHE_HOME:-$HOME/.cache}/zarvo-setup.
# A second call finds the unpacked tree there and touches no network. apt needs a deb-src
# line for the machine's own suites; when there is none this adds one
# (/etc/apt/sources.list.d/zarvo-deb-src.sources) and runs apt-get update, which needs root.
set -eu

cache=${1:-${ZARVO_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/zarvo-setup}}
mkdir -p "$cache/bzip2"
cache=$(cd "$cache/bzip2" && pwd)

say() { echo "fetch-bzip2: $*" >&2; }

find_tree() {
  for dir in "$cache"/bzip2-*/; do
    if [ -f "$dir/bzlib.h" ] && [ -f "$dir/decompress.c" ]; then
      (cd "$dir" && pwd)
      return 0
    fi
  done
  return 1
}

if tree=$(find_tree); then
  echo "$tree"
  exit 0
fi

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# dpkg-source unpacks the package and applies Debian's patches.
if ! command -v dpkg-source >/dev/null 2>&1; then
  say "installing dpkg-dev for dpkg-source"
  as_root apt-get update >&2
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y dpkg-dev >&2
fi

# Writes a deb-src twin of every Debian deb entry, for the same URIs, suites and components.
deb_src_entries() {
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk '
      function flush() {
        if (isdeb && uris ~ /debian/) {
          print "Types: deb-src"; print "URIs: " uris; print "Suites: " suites
          print "Components: " comps
          if (signed != "") print "Signed-By: " signed
          print ""
        }
        isdeb = 0; uris = suites = comps = signed = ""
      }
      /^[ \t]*$/ { flush(); next }
      /^#/ { next }
      /^Types:/ { isdeb = ($0 ~ /(^|[ \t])deb([ \t]|$)/) }
      /^URIs:/ { sub(/^URIs:[ \t]*/, ""); uris = $0 }
      /^Suites:/ { sub(/^Suites:[ \t]*/, ""); suites = $0 }
      /^Components:/ { sub(/^Components:[ \t]*/, ""); comps = $0 }
      /^Signed-By:/ { sub(/^Signed-By:[ \t]*/, ""); signed = $0 }
      END { flush() }
    ' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk '$1 == "deb" && /debian/ {
      $1 = "deb-src"
      print "Types: deb-src"
      if ($2 ~ /^\[/) { opts = $2; sub(/^\[/, "", opts); sub(/\]$/, "", opts); $2 = ""; $0 = $0 }
      print "URIs: " $2; print "Suites: " $3
      comps = ""; for (i = 4; i <= NF; i++) comps = comps (comps == "" ? "" : " ") $i
      print "Components: " comps; print ""
    }' "$f"
  done
}

has_deb_src() {
  grep -rqsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' /etc/apt/sources.list \
    /etc/apt/sources.list.d/
}

work=$(mktemp -d "$cache/fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT

try_source() { (cd "$work" && apt-get source bzip2 >&2); }

if ! has_deb_src; then
  entries=$(deb_src_entries)
  if [ -z "$entries" ]; then
    say "no Debian deb entry found in /etc/apt to derive a deb-src entry from"
    exit 1
  fi
  say "adding deb-src entries (/etc/apt/sources.list.d/zarvo-deb-src.sources)"
  printf '%s\n' "$entries" | as_root tee /etc/apt/sources.list.d/zarvo-deb-src.sources >/dev/null
  as_root apt-get update >&2
elif ! (cd "$work" && apt-get source --print-uris bzip2 >/dev/null 2>&1); then
  as_root apt-get update >&2
fi

# apt's download sandbox user must be able to write where it downloads.
chmod 755 "$work"
if ! try_source; then
  say "apt-get source bzip2 failed"
  exit 1
fi
for dir in "$work"/bzip2-*/; do
  [ -f "$dir/bzlib.h" ] || continue
  name=$(basename "$dir")
  rm -rf "${cache:?}/$name"
  mv "$dir" "$cache/$name"
done
if ! tree=$(find_tree); then
  say "the bzip2 source package holds no bzlib.h"
  exit 1
fi
echo "$tree"
