#!/usr/bin/env bash
# Takes the screenshots of the README: the main window idle and scanning, the options dialog
# (as first opened and with "Perform full scan" cleared), the results window with sample findings
# and the Quarantine window with sample items (both shown by the interface tests' program, when
# BUILD has it), at 96, 120 and 144 DPI, in a Wine environment of its own (BUILD/shots) that,
# like the demo's, has only drive C:, and saves them into OUT. Needs imagemagick, xdotool and
# Wine's own fonts (fonts-wine: Marlett for the caption buttons Wine draws). QV_WINE names the
# loader, as for wine-env.sh (/usr/lib/wine/wine64 for a 64-bit build on a machine without 32-bit
# support).
#   screenshots.sh [BUILD] [OUT] [DPI...]
set -euo pipefail
# Wine maps file names through the locale's character set: without UTF-8 it cannot name most files.
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=$(mkdir -p "${2:-$root/docs}" && cd "${2:-$root/docs}" && pwd)
shift $(($# < 2 ? $# : 2))
dpis=("$@")
[ ${#dpis[@]} -gt 0 ] || dpis=(96 120 144)

for tool in import:imagemagick xdotool:xdotool /usr/share/wine/fonts/marlett.ttf:fonts-wine; do
  command -v "${tool%%:*}" >/dev/null || [ -e "${tool%%:*}" ] || apt-get install -y "${tool##*:}" >/dev/null
done

wine() { command "${QV_WINE:-wine}" "$@"; }

state=$build/shots
env_sh=$root/scripts/wine-env.sh
trap '"$env_sh" down "$state"' EXIT
"$env_sh" up "$state" --no-z
export WINEPREFIX=$state/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
DISPLAY=$(cat "$state/display")
export DISPLAY

# Wine's Marlett draws the caption buttons; this Wine does not find it in its data folder by
# itself. (Its Tahoma is left out: at 8 points Wine draws it wider or narrower than it measures it.)
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

# Installed as the run command installs it: no drive but C: can name another folder.
app="$WINEPREFIX/drive_c/Program Files/Quorvane"
mkdir -p "$app"
cp "$build/Quorvane.exe" "$app/"
# The scanning shot needs a valid signature.dat: the build's, or 16 MiB stamped by the program itself.
if [ -f "$build/signature.dat" ]; then
  cp "$build/signature.dat" "$app/"
else
  head -c 16777216 /dev/urandom >"$app/signature.dat"
  (cd "$app" && wine Quorvane.exe -sig signature.dat </dev/null >/dev/null 2>&1)
fi

shots_program=$build/tests/ui/test_ui.exe
rm -f "$app/test_ui.exe"
[ -f "$shots_program" ] && cp "$shots_program" "$app/"

# The DPI is read when Wine starts: write it, then restart the server. Wine draws the
# window frames itself (as Windows would) instead of the window manager.
use_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -k || true
  wineserver -w
  "$env_sh" up "$state" --no-z
}

# Waits for the top-level window with exactly this caption; sets window to its X id.
# (No command substitution: its subshell would run the EXIT trap.)
wait_window() {
  window=
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && return 0
    sleep 0.1
  done
  echo "no window '$1'" >&2
  return 1
}

# Saves the window's screen area after aDelay seconds (default 1.5).
shoot() {
  local id=$1 file=$2
  sleep "${3:-1.5}"
  eval "$(xdotool getwindowgeometry --shell "$id")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$file"
  echo "$out/$file"
}

keys() {
  xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
  shift
  xdotool key --delay 150 "$@"
}

start_app() {
  (cd "$app" && wine Quorvane.exe </dev/null >/dev/null 2>&1 &)
  wait_window 'Quorvane ver 1.2'
  main=$window
}

stop_app() {
  wineserver -k || true
  wineserver -w
  "$env_sh" up "$state" --no-z
}

# The results window opens after a scan that found something; the tests' program shows it with
# sample findings instead, so the shot needs no detection.
shoot_results() {
  [ -f "$app/test_ui.exe" ] || { echo "no $shots_program: no results window shot" >&2; return 0; }
  (cd "$app" && wine test_ui.exe --gtest_also_run_disabled_tests --gtest_filter='ResultsWindowShot.*' \
    </dev/null >/dev/null 2>&1 &)
  wait_window 'Scan results'
  shoot "$window" "results-window$1.png"
  keys "$window" Escape
}

# The Quarantine window with sample items in a store of the tests' program's own.
shoot_quarantine() {
  [ -f "$app/test_ui.exe" ] || { echo "no $shots_program: no Quarantine window shot" >&2; return 0; }
  (cd "$app" && wine test_ui.exe --gtest_also_run_disabled_tests --gtest_filter='QuarantineWindowShot.*' \
    </dev/null >/dev/null 2>&1 &)
  wait_window 'Quarantine'
  shoot "$window" "quarantine-window$1.png"
  keys "$window" Escape
}

settings='HKCU\Software\Talbrinn\Quorvane'
# For the scanning shot: a scan of the Windows folder only (the drives unchecked), so that
# the bar moves at once.
use_folder_scan() {
  wine reg add "$settings" /v FullScan /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine reg add "$settings" /v MemoryScan /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine reg add "$settings" /v RegistryScan /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine reg add "$settings" /v Folders /t REG_SZ /d 'C:\=0;C:\windows=1' /f >/dev/null 2>&1
}

for dpi in "${dpis[@]}"; do
  suffix=$([ "$dpi" = 96 ] && echo "" || echo "-${dpi}dpi")
  use_dpi "$dpi"
  start_app
  shoot "$main" "main-window$suffix.png"
  keys "$main" space
  wait_window 'Quorvane options'
  options=$window
  shoot "$options" "options-dialog$suffix.png"
  keys "$options" Tab space
  shoot "$options" "options-dialog-custom$suffix.png"
  keys "$options" Escape
  stop_app
  use_folder_scan
  start_app
  keys "$main" Tab space
  shoot "$main" "main-window-scanning$suffix.png" 0.4
  stop_app
  shoot_results "$suffix"
  shoot_quarantine "$suffix"
  wine reg delete "$settings" /f >/dev/null 2>&1
done
use_dpi 96
