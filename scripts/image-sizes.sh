#!/bin/sh
# What takes the room in a linked image: bytes per input object, from the link map that the
# Windows image's link writes beside it (build-win32/stub/zarvo-setup.map).
#
#   scripts/image-sizes.sh MAP
#
# Prints one line per object, largest first: its total, then code (text), constants
# (rdata), initialised data (data), zero-filled data (bss, which takes no room in the
# file) and import table entries (idata); then the sums for libbz2 and for the rest.
set -eu
map=${1:?usage: scripts/image-sizes.sh MAP}

awk '
  /^Linker script and memory map/ { inmap = 1; next }
  !inmap { next }
  function hex(text,    value, i) {
    value = 0
    text = tolower(substr(text, 3))
    for (i = 1; i <= length(text); i++) value = value * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
    return value
  }
  function record(section, size, object,    kind) {
    size = hex(size)
    if (size == 0) return
    if (section ~ /^\.text/) kind = "text"
    else if (section ~ /^\.(rdata|rodata)/) kind = "rdata"
    else if (section ~ /^\.data/) kind = "data"
    else if (section ~ /^(\.bss|COMMON)/) kind = "bss"
    else if (section ~ /^\.idata/) kind = "idata"
    else kind = "other"
    sub(/.*\//, "", object)
    sizes[object, kind] += size
    totals[object] += size
    if (kind != "bss") filled[object] += size
  }
  # An input section on one line: " .text  0x00401000  0x1ec  file"
  /^ [.A-Z][^ ]* +0x[0-9a-f]+ +0x[0-9a-f]+ +[^ ]/ { record($1, $3, $4); pending = ""; next }
  # A long section name stands alone, and its address, size and file follow on the next line.
  /^ [.A-Z][^ ]*$/ { pending = $1; next }
  pending != "" && /^ +0x[0-9a-f]+ +0x[0-9a-f]+ +[^ ]/ { record(pending, $2, $3) }
  { pending = "" }
  END {
    n = split("text rdata data bss idata other", kinds, " ")
    for (object in totals) {
      line = sprintf("%7d  %-40s", totals[object], object)
      for (i = 1; i <= n; i++)
        if ((object, kinds[i]) in sizes) line = line sprintf(" %s=%d", kinds[i], sizes[object, kinds[i]])
      print line | "sort -rn"
      if (object ~ /bzip2/) bz += filled[object]
      else if (object ~ /^(lib(kernel32|user32)\.a|LONG$)/) imports += filled[object]
      else ours += filled[object]
      if (object ~ /bzip2/) bzbss += sizes[object, "bss"]
      else oursbss += sizes[object, "bss"]
    }
    close("sort -rn")
    printf("libbz2: %d bytes in the file (+%d zero-filled)\n", bz, bzbss)
    printf("the rest: %d bytes in the file (+%d zero-filled); import table: %d\n",
           ours, oursbss, imports)
  }
' "$map"
