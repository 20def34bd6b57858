#!/usr/bin/env bash
# The main job on the built-in sample: builds the POSIX installer stub and zarvo-pack, makes an
# installer of samples/content, installs it into a throwaway Wine-style prefix that holds a fake
# Zarvo (answering Yes on the user's behalf), and shows what was installed.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh posix
cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc)" --target zarvo-setup zarvo-pack >/dev/null
pack=build/bin/zarvo-pack

work=$(mktemp -d /tmp/zarvo-demo-XXXXXX)
prefix=$work/prefix
zarvo=$prefix/drive_c/ZARVO
mkdir -p "$prefix/dosdevices" "$zarvo" "$prefix/drive_c/Downloads" "$work/bin"
ln -s ../drive_c "$prefix/dosdevices/c:"
ln -s / "$prefix/dosdevices/z:"
# A fake Zarvo: its marker file and an executable of the smallest accepted size.
printf '[zarvo]\r\n' >"$zarvo/ab.ini"
truncate -s 900000 "$zarvo/zarvowin.exe"
echo "obsolete" >"$zarvo/ancien.old"
# Stands in for wine: says how Zarvo would have been started.
cat >"$work/bin/wine" <<'WINE'
#!/bin/sh
echo "(wine would now start: $*)" >&2
WINE
chmod +x "$work/bin/wine"

setup=$prefix/drive_c/Downloads/setup
echo "== zarvo-pack create"
"$pack" create --stub build/bin/zarvo-setup --title "Démonstration de Zarvo" --cleanup "*.old" \
  -o "$setup" samples/content
"$pack" list "$setup"
"$pack" verify "$setup"

echo
echo "== running the installer (C:\\Downloads\\setup), answering Yes"
status=0
echo y | WINEPREFIX="$prefix" ZARVO_SETUP_LOG="$work/transcript" PATH="$work/bin:$PATH" \
  "$setup" || status=$?
sleep 0.2 # Zarvo is started without waiting; let the stand-in speak
echo "(exit code $status)"

echo
echo "== C:\\ZARVO\\ now holds"
ls -l "$zarvo"
for file in "$zarvo"/*.dcc "$zarvo"/*.dcw; do
  [ -e "$file" ] || continue
  echo
  echo "== zarvo-pack decode $(basename "$file")"
  "$pack" decode "$file"
done
echo
echo "The prefix stays in $prefix; the transcript of the run is $work/transcript."
exit "$status"
