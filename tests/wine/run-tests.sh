#!/usr/bin/env bash
# End-to-end tests of the Windows installer under Wine: the real image, on Wine's kernel32 and
# user32, answered the way a user answers its boxes.
#
#   tests/wine/run-tests.sh --stub STUB.exe --standin ZARVOWIN.exe --pack ZARVO-PACK
#                           [--pack-exe ZARVO-PACK.exe] [--shots DIR] [--keep]
#
# STUB is the padded 64-bit stub (Wine here runs no 32-bit code), STANDIN the stand-in for
# Zarvo's executable that records its command line, ZARVO-PACK the POSIX build of the tool
# that makes and extracts installers, ZARVO-PACK.exe its Windows build (then it is tested
# too). Needs an X display (scripts/test-windows.sh runs it under xvfb-run), xdotool and
# ImageMagick's import; every box shown is saved as a PNG in DIR (default build/e2e-shots).
# Each case runs in its own copy of one Wine prefix made at the start. Exit code 0 when every
# case passed.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
stub="" standin="" pack="" pack_exe="" shots="$here/../../build/e2e-shots" keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --stub) stub=$2; shift 2 ;;
    --standin) standin=$2; shift 2 ;;
    --pack) pack=$2; shift 2 ;;
    --pack-exe) pack_exe=$2; shift 2 ;;
    --shots) shots=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    *) echo "usage: $0 --stub STUB.exe --standin ZARVOWIN.exe --pack ZARVO-PACK" \
            "[--pack-exe ZARVO-PACK.exe] [--shots DIR] [--keep]" >&2; exit 2 ;;
  esac
done
for f in "$stub" "$standin" "$pack"; do
  if [ ! -f "$f" ]; then echo "run-tests.sh: missing --stub, --standin or --pack ($f)" >&2; exit 2; fi
done
stub=$(realpath "$stub") standin=$(realpath "$standin") pack=$(realpath "$pack")
[ -n "$pack_exe" ] && pack_exe=$(realpath "$pack_exe")
if [ -z "${DISPLAY:-}" ]; then echo "run-tests.sh: no X display; run it under xvfb-run" >&2; exit 2; fi

WINE=${ZARVO_WINE:-/usr/lib/wine/wine64}
WINESERVER=${ZARVO_WINESERVER:-/usr/lib/wine/wineserver}
[ -x "$WINE" ] || WINE=$(command -v wine64 || command -v wine)
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver)
# Quiet, no Mono or Gecko installer dialogs, and a time zone without daylight saving whose
# offset shows in every local-time conversion. Wine passes TZ on to Windows programs, whose C
# runtime reads it too: it is given in the form that glibc, Wine and msvcrt all understand.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TZ=JST-9
export LC_ALL=C.UTF-8

mkdir -p "$shots"
shots=$(realpath "$shots")
rm -f "$shots"/*.png
work=$(mktemp -d /tmp/zarvo-wine.XXXXXX)
cleanup() {
  for p in "$work"/prefix-*; do [ -d "$p" ] && WINEPREFIX=$p "$WINESERVER" -k 2>/dev/null; done
  if [ "$keep" = 1 ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

failures=0 passed=0 case_name="" case_failed=0
fail() {
  echo "  FAIL: $*"
  case_failed=1
}
begin() {
  case_name=$1 case_failed=0 shot_count=0
  echo "== $case_name"
}
end() {
  if [ "$case_failed" = 0 ]; then passed=$((passed + 1)); echo "  ok"; else failures=$((failures + 1)); fi
}

# --- Wine prefixes --------------------------------------------------------------------------

base="$work/base"
echo "making the Wine prefix"
if ! WINEPREFIX=$base "$WINE" wineboot -i >"$work/wineboot.log" 2>&1 ||
   ! WINEPREFIX=$base "$WINESERVER" -w; then
  cat "$work/wineboot.log"; echo "run-tests.sh: wineboot failed" >&2; exit 1
fi

# A prefix of the case's own: hard links to the base's files (Wine does not write them),
# real copies of the registry files, which it does.
new_prefix() {
  prefix="$work/prefix-$case_name"
  cp -al "$base" "$prefix"
  for reg in "$base"/*.reg; do
    rm -f "$prefix/${reg##*/}"
    cp "$reg" "$prefix/"
  done
  launch_record="$work/launch-$case_name.txt"
  rm -f "$launch_record"
}

# make_zarvo UNIXDIR: a Zarvo installation as the installer recognises it.
make_zarvo() {
  mkdir -p "$1"
  cp "$standin" "$1/zarvowin.exe"
  printf '[Zarvo]\r\n' >"$1/ab.ini"
}

# --- Running the installer ------------------------------------------------------------------

# wait_box REGEX: the id of the visible window whose caption matches, within 30 seconds.
wait_box() {
  local id
  for _ in $(seq 1 120); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    kill -0 "$installer_pid" 2>/dev/null || return 1
    sleep 0.25
  done
  return 1
}

shoot() {
  shot_count=$((shot_count + 1))
  import -window root "$shots/$case_name-$shot_count-$1.png" 2>/dev/null ||
    echo "  (no screenshot: import failed)"
}

# run_installer WINPATH [CAPTION-REGEX=KEY=NAME]...: starts the installer in the case's prefix,
# answers each box in turn by pressing KEY once it shows (a picture of the screen is saved as
# NAME first), and waits for the run to end. Sets `status` to its exit code (-1 when it did
# not end), then waits for what it started (the stand-in) to end too.
run_installer() {
  local exe=$1 answer regex key name id
  shift
  WINEPREFIX=$prefix ZARVO_LAUNCH_RECORD="Z:${launch_record//\//\\}" \
    "$WINE" "$exe" >"$work/$case_name.log" 2>&1 &
  installer_pid=$!
  for answer in "$@"; do
    regex=${answer%%=*} key=${answer#*=} name=${answer##*=}
    key=${key%%=*}
    if ! id=$(wait_box "$regex"); then
      fail "no box with a caption matching '$regex' was shown"
      shoot "missing-$name"
      break
    fi
    sleep 0.3 # let the box draw itself before the picture
    shoot "$name"
    xdotool key --window "$id" "$key" 2>/dev/null
  done
  status=-1
  for _ in $(seq 1 120); do
    if ! kill -0 "$installer_pid" 2>/dev/null; then
      wait "$installer_pid"
      status=$?
      break
    fi
    sleep 0.25
  done
  if [ "$status" = -1 ]; then
    shoot "still-running"
    fail "the installer did not end after its last expected box (another box shown?)"
    kill "$installer_pid" 2>/dev/null
    WINEPREFIX=$prefix "$WINESERVER" -k 2>/dev/null
    wait "$installer_pid" 2>/dev/null
  fi
  WINEPREFIX=$prefix timeout 60 "$WINESERVER" -w
}

expect_status() {
  [ "$status" = "$1" ] || fail "exit code $status, expected $1"
}

expect_launch() {
  if [ ! -f "$launch_record" ]; then fail "Zarvo was not started"; return; fi
  local got
  got=$(cat "$launch_record")
  [ "$got" = "$1" ] || fail "Zarvo was started as '$got', expected '$1'"
}

expect_no_launch() {
  [ ! -f "$launch_record" ] || fail "Zarvo was started: $(cat "$launch_record")"
}

# snapshot DIR: every file under DIR with its size, time and checksum, for "nothing changed".
snapshot() {
  (cd "$1" && find . -type f -printf '%p %s %T@\n' | sort && find . -type f -exec md5sum {} + | sort)
}

# expect_installed DIR EXPECTED [KEPT...]: DIR holds exactly the files of EXPECTED, byte for
# byte, plus the files KEPT (names relative to DIR) that were there before.
expect_installed() {
  local dir=$1 expected=$2 name
  shift 2
  local want got
  want=$( (cd "$expected" && find . -type f -printf '%P\n'; printf '%s\n' "$@") | sort)
  got=$(cd "$dir" && find . -type f -printf '%P\n' | sort)
  [ "$want" = "$got" ] || fail "files in $dir:"$'\n'"$got"$'\n'"  expected:"$'\n'"$want"
  for name in $(cd "$expected" && find . -type f -printf '%P\n'); do
    [ -f "$dir/$name" ] && ! cmp -s "$expected/$name" "$dir/$name" &&
      fail "$name differs from what zarvo-pack extracts"
  done
}

# expect_time FILE EPOCH: the file's last-write time.
expect_time() {
  local got
  got=$(stat -c %Y "$1")
  [ "$got" = "$2" ] || fail "${1##*/} was written at $(date -d "@$got"), expected $(date -d "@$2")"
}

# --- The payload ----------------------------------------------------------------------------

content="$work/content"
mkdir -p "$content/lexique"
# A .DCW: indexed text content, made by zarvo-pack from sections of UTF-8 text lines.
printf 'text ABAQUE a.txt value=7 date=2020-02-29T23:59:58\ntext ZEBRE z.txt\n' \
  >"$content/lexique/sections.txt"
printf 'abaque\r\nUn cadre \xc3\xa0 boules.\r\n' >"$content/lexique/a.txt"
printf 'z\xc3\xa8bre\nUn \xc3\xa9quid\xc3\xa9 ray\xc3\xa9.\n\nFin 2024\n' >"$content/lexique/z.txt"
# A .DOC: text lines, installed packed as .dcc; DOS Latin bytes pass through.
printf 'Guide de Zarvo\r\nChapitre 1\r\nLes caract\x8ares accentu\x82s : \x85 \x87 \x88\r\n\r\n12345 et 678\r\n' \
  >"$content/Guide.DOC"
# A plain entry, installed as it is, with its own date.
printf 'Notes\r\n\x00\x01\x02\xff binary too\r\n' >"$content/Notes.TXT"
touch -d '2021-06-15 10:30:08' "$content/Notes.TXT"
notes_time=$(stat -c %Y "$content/Notes.TXT")
title="Contenu de test"
pattern="*.old"

# The zarvo-pack command lines, in one place.
pack_make_dcw() { "$pack" make-dcw -o "$2" "$1"; }
pack_create() { # OUTPUT STUB INPUTS...
  local out=$1 stub_file=$2
  shift 2
  "$pack" create --stub "$stub_file" --title "$title" --cleanup "$pattern" -o "$out" "$@"
}
pack_extract() { "$pack" extract "$1" "$2"; }

installer="$work/zarvo-setup-test.exe"
expected="$work/expected"
if ! pack_make_dcw "$content/lexique" "$content/Lexique.DCW" >"$work/pack.log" 2>&1 ||
   ! pack_create "$installer" "$stub" "$content/Lexique.DCW" "$content/Guide.DOC" \
       "$content/Notes.TXT" >>"$work/pack.log" 2>&1 ||
   ! pack_extract "$installer" "$expected" >>"$work/pack.log" 2>&1; then
  cat "$work/pack.log"
  echo "run-tests.sh: zarvo-pack could not make or extract the test installer" >&2
  exit 1
fi
echo "test installer: $(stat -c %s "$installer") bytes; installs: $(cd "$expected" && ls | tr '\n' ' ')"

confirm="^  Installation de $title\$"
# xdotool matches bytes: an accented letter of a caption is two of them in UTF-8.
done_box="^D.+compression r.+ussie!\$"
fatal_box="ERREUR - ERROR"
error_box="^Error\$"

# Obsolete files the cleanup pattern names, and one it does not.
add_obsolete() {
  printf 'old\r\n' >"$1/index1.old"
  printf 'old\r\n' >"$1/INDEX2.OLD"
  printf 'keep\r\n' >"$1/keep.txt"
}

# --- Cases ----------------------------------------------------------------------------------

# put_installer DIR [EXE]: the installer, as a user would have downloaded it, in DIR.
put_installer() {
  mkdir -p "$1"
  cp "${2:-$installer}" "$1/zarvo-setup.exe"
}

# Zarvo in C:\ZARVO\, the installer started from another folder: the drive list finds it.
begin c-drive
new_prefix
zarvo="$prefix/drive_c/ZARVO"
make_zarvo "$zarvo"
add_obsolete "$zarvo"
put_installer "$prefix/drive_c/users/Public/Downloads"
run_installer 'C:\users\Public\Downloads\zarvo-setup.exe' "$confirm=y=confirm" "$done_box=Return=done"
expect_status 0
expect_installed "$zarvo" "$expected" ab.ini zarvowin.exe keep.txt
expect_time "$zarvo/notes.txt" "$notes_time"
expect_launch 'C:\ZARVO\zarvowin.exe /i'
end

# Zarvo in D:\ZARVOWIN\ on a second drive: tried after every candidate on C.
begin d-drive
new_prefix
mkdir -p "$work/d-drive"
ln -s "$work/d-drive" "$prefix/dosdevices/d:"
zarvo="$work/d-drive/ZARVOWIN"
make_zarvo "$zarvo"
add_obsolete "$zarvo"
put_installer "$prefix/drive_c/dl"
run_installer 'C:\dl\zarvo-setup.exe' "$confirm=y=confirm" "$done_box=Return=done"
expect_status 0
expect_installed "$zarvo" "$expected" ab.ini zarvowin.exe keep.txt
expect_time "$zarvo/notes.txt" "$notes_time"
expect_launch 'D:\ZARVOWIN\zarvowin.exe /i'
end

# The installer started inside Zarvo's own folder, whose path has a space: found as its own
# folder, and Zarvo is started by a quoted path.
begin program-files
new_prefix
zarvo="$prefix/drive_c/Program Files/ZARVO"
make_zarvo "$zarvo"
add_obsolete "$zarvo"
put_installer "$zarvo"
run_installer 'C:\Program Files\ZARVO\zarvo-setup.exe' "$confirm=y=confirm" "$done_box=Return=done"
expect_status 0
expect_installed "$zarvo" "$expected" ab.ini zarvowin.exe keep.txt zarvo-setup.exe
expect_time "$zarvo/notes.txt" "$notes_time"
expect_launch '"C:\Program Files\ZARVO\zarvowin.exe" /i'
end

# Declined at the confirmation: nothing written or deleted, no further box, no launch.
begin declined
new_prefix
zarvo="$prefix/drive_c/ZARVO"
make_zarvo "$zarvo"
add_obsolete "$zarvo"
put_installer "$prefix/drive_c/dl"
before=$(snapshot "$zarvo")
run_installer 'C:\dl\zarvo-setup.exe' "$confirm=n=declined"
expect_status 0
[ "$(snapshot "$zarvo")" = "$before" ] || fail "the Zarvo folder changed"
expect_no_launch
end

# Not an archive at PayloadOffset: "Format?" before any question, exit code 0.
begin format-stop
new_prefix
zarvo="$prefix/drive_c/ZARVO"
make_zarvo "$zarvo"
(cat "$stub"; printf 'This is not a payload archive.') >"$work/not-a-payload.exe"
put_installer "$prefix/drive_c/dl" "$work/not-a-payload.exe"
before=$(snapshot "$zarvo")
run_installer 'C:\dl\zarvo-setup.exe' "$fatal_box=Return=format-stop"
expect_status 0
[ "$(snapshot "$zarvo")" = "$before" ] || fail "the Zarvo folder changed"
expect_no_launch
end

# An archive without its terminator: every entry is installed, then the short read ends the
# run with runtime error 100 as the exit code; no cleanup, no completion box, no launch.
begin cut-short
new_prefix
zarvo="$prefix/drive_c/ZARVO"
make_zarvo "$zarvo"
add_obsolete "$zarvo"
head -c -4 "$installer" >"$work/cut-short.exe"
put_installer "$prefix/drive_c/dl" "$work/cut-short.exe"
run_installer 'C:\dl\zarvo-setup.exe' "$confirm=y=confirm" "$error_box=Return=runtime-error"
expect_status 100
expect_installed "$zarvo" "$expected" ab.ini zarvowin.exe keep.txt index1.old INDEX2.OLD
expect_no_launch
end

# No Zarvo anywhere: the can't-find box, exit code 0.
begin cant-find
new_prefix
put_installer "$prefix/drive_c/dl"
run_installer 'C:\dl\zarvo-setup.exe' "$error_box=Return=cant-find"
expect_status 0
expect_no_launch
end

# Signed with Authenticode (a throwaway self-signed certificate): the signature goes after the
# payload, which the installer never reads past, so it installs as before.
begin signed
new_prefix
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=zarvo-setup test" \
  -keyout "$work/sign.key" -out "$work/sign.crt" >"$work/sign.log" 2>&1
if ! osslsigncode sign -certs "$work/sign.crt" -key "$work/sign.key" -n "zarvo-setup test" \
       -in "$installer" -out "$work/signed.exe" >>"$work/sign.log" 2>&1; then
  cat "$work/sign.log"
  fail "osslsigncode could not sign the installer"
else
  size=$(stat -c %s "$installer")
  [ "$(stat -c %s "$work/signed.exe")" -gt "$size" ] || fail "signing added nothing"
  # The image and payload as they were, but for the checksum and the certificate directory
  # in the headers (the first 512 bytes).
  changed=$(cmp -l <(head -c "$size" "$installer") <(head -c "$size" "$work/signed.exe") |
              awk '$1 > 512' | wc -l)
  [ "$changed" = 0 ] || fail "signing changed $changed bytes after the headers"
  zarvo="$prefix/drive_c/ZARVO"
  make_zarvo "$zarvo"
  add_obsolete "$zarvo"
  put_installer "$prefix/drive_c/dl" "$work/signed.exe"
  run_installer 'C:\dl\zarvo-setup.exe' "$confirm=y=confirm" "$done_box=Return=done"
  expect_status 0
  expect_installed "$zarvo" "$expected" ab.ini zarvowin.exe keep.txt
  expect_time "$zarvo/notes.txt" "$notes_time"
  expect_launch 'C:\ZARVO\zarvowin.exe /i'
fi
end

# zarvo-pack.exe under Wine makes the same installer, byte for byte, from the same inputs:
# once with the files' own dates, once with a date given on the command line.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
pack_exe_create() { # OUTPUT [OPTIONS...]
  local out=$1
  shift
  WINEPREFIX=$prefix "$WINE" "$pack_exe" create --stub "$(winpath "$stub")" --title "$title" \
    --cleanup "$pattern" -o "$(winpath "$out")" "$@" "$(winpath "$content/Lexique.DCW")" \
    "$(winpath "$content/Guide.DOC")" "$(winpath "$content/Notes.TXT")" >>"$work/pack-exe.log" 2>&1
}
if [ -n "$pack_exe" ]; then
  begin zarvo-pack-exe
  new_prefix
  date="2024-02-29 23:59:58"
  if ! pack_create "$work/dated-linux.exe" "$stub" --date "$date" "$content/Lexique.DCW" \
         "$content/Guide.DOC" "$content/Notes.TXT" >"$work/pack-linux.log" 2>&1; then
    cat "$work/pack-linux.log"
    fail "zarvo-pack create --date failed"
  fi
  if ! pack_exe_create "$work/windows.exe" || ! pack_exe_create "$work/dated-windows.exe" --date "$date"; then
    cat "$work/pack-exe.log"
    fail "zarvo-pack.exe create failed"
  else
    cmp "$installer" "$work/windows.exe" ||
      fail "zarvo-pack.exe made a different installer from the files' own dates"
    cmp "$work/dated-linux.exe" "$work/dated-windows.exe" ||
      fail "zarvo-pack.exe made a different installer with --date"
  fi
  WINEPREFIX=$prefix "$WINESERVER" -w
  end
fi

echo "Wine tests: $passed passed, $failures failed; boxes in $shots"
[ "$failures" = 0 ]
