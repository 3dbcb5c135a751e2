#!/usr/bin/env bash
# The README's run command: installs what is missing, builds, and starts Quorvane
# under Wine in a demo prefix of its own that exposes only drive C:. When the window
# is closed or on Ctrl+C, it stops everything it started (program, Wine server and
# services, virtual display).
set -euo pipefail
# Wine maps file names through the locale's character set: without UTF-8 it cannot name most files.
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
# The 32-bit edition as shipped, or the 64-bit one where the machine cannot start 32-bit
# programs (a kernel without 32-bit support); QV_ARCH=x86|x64 chooses.
if [ -z "${QV_ARCH:-}" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then QV_ARCH=x86; else
    QV_ARCH=x64
    echo "This machine cannot run 32-bit programs: starting the 64-bit edition."
  fi
fi
export QV_ARCH
if [ "$QV_ARCH" = x64 ]; then
  build=${QV_BUILD_DIR:-$root/build64}
  export QV_WINE=/usr/lib/wine/wine64
else
  build=${QV_BUILD_DIR:-$root/build}
  export QV_WINE=wine
fi
"$root/scripts/build.sh" "$build" --target Quorvane demo_signature

state=$build/demo
env_sh=$root/scripts/wine-env.sh
if [ -n "${DISPLAY:-}" ]; then
  export QV_USE_DISPLAY=$DISPLAY
else
  unset QV_USE_DISPLAY
fi
# A second Ctrl+C must not cut the clean-up short.
trap 'trap "" INT TERM HUP; "$env_sh" down "$state"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
"$env_sh" up "$state" --no-z
export WINEPREFIX=$state/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
DISPLAY=$(cat "$state/display")
export DISPLAY

# A signature.dat already there (one of your own, say) is kept.
install_dir="$WINEPREFIX/drive_c/Program Files/Quorvane"
mkdir -p "$install_dir"
cp "$build/Quorvane.exe" "$build/quorvane-sigtool.exe" "$install_dir/"
[ -f "$install_dir/signature.dat" ] || cp "$build/signature.dat" "$install_dir/"

if [ -z "${QV_USE_DISPLAY:-}" ]; then
  echo "No X display: Quorvane runs on the virtual display $DISPLAY."
  echo "Screenshot: import -display $DISPLAY -window root quorvane.png"
fi
echo "Demo prefix: $WINEPREFIX (drive C: only)"
echo "Stop: close the window, or Ctrl+C"
cd "$install_dir"
# In the background, so that Ctrl+C reaches the traps at once: Wine's GUI programs ignore it.
"$QV_WINE" 'C:\Program Files\Quorvane\Quorvane.exe' <&0 &
status=0
wait $! || status=$?
exit "$status"
