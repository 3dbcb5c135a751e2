#!/usr/bin/env bash
# The README's run command: installs what is missing, builds, and starts Quorvane
# under Wine in a demo prefix of its own that exposes only drive C:.
set -euo pipefail
# Wine maps file names through the locale's character set: without UTF-8 it cannot name most files.
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" "$build" --target Quorvane demo_signature

state=$build/demo
if [ -n "${DISPLAY:-}" ]; then
  export QV_USE_DISPLAY=$DISPLAY
else
  unset QV_USE_DISPLAY
fi
"$root/scripts/wine-env.sh" up "$state" --no-z
export WINEPREFIX=$state/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
DISPLAY=$(cat "$state/display")
export DISPLAY

install_dir="$WINEPREFIX/drive_c/Program Files/Quorvane"
mkdir -p "$install_dir"
cp "$build/Quorvane.exe" "$build/signature.dat" "$install_dir/"

if [ -z "${QV_USE_DISPLAY:-}" ]; then
  echo "No X display: Quorvane runs on the virtual display $DISPLAY."
  echo "Screenshot: import -display $DISPLAY -window root quorvane.png   Stop: Ctrl+C"
fi
echo "Demo prefix: $WINEPREFIX (drive C: only)"
cd "$install_dir"
wine 'C:\Program Files\Quorvane\Quorvane.exe'
