#!/usr/bin/env bash
# Manages one private Wine environment: a prefix, a persistent wineserver and a
# virtual X display with a window manager, all kept in the folder STATE.
#   wine-env.sh up STATE [--no-z]   create or start what is missing (idempotent, locked)
#   wine-env.sh down STATE          end every Wine process of the prefix, the server and the display
#   wine-env.sh running STATE       exit 0 when the environment's virtual display runs
# --no-z makes the prefix expose only its own drive C: (no Z:, no links into the home). When QV_USE_DISPLAY
# names an X display, it is used instead of a virtual one.
set -euo pipefail

# Wine maps file names through the locale's character set: without UTF-8 it cannot name most files.
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
usage="usage: wine-env.sh up|down|running STATE"
cmd=${1:?$usage}
state=$(mkdir -p "${2:?state folder}" && cd "$2" && pwd)
export WINEPREFIX=$state/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export HOME=${HOME:-$state}
# The loader of the environment's architecture: wine64 runs 64-bit programs without the 32-bit loader.
wine=${QV_WINE:-wine}

# Prints the pid recorded in STATE/NAME.pid when that process still runs the program NAME.
pid_of() {
  local pid
  pid=$(cat "$state/$1.pid" 2>/dev/null) || return 1
  [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$2" ] && echo "$pid"
}

xvfb_alive() { pid_of xvfb Xvfb >/dev/null; }

display_alive() {
  if [ -n "${QV_USE_DISPLAY:-}" ]; then echo "$QV_USE_DISPLAY" >"$state/display"; return 0; fi
  [ -f "$state/display" ] && xvfb_alive
}

# Xvfb picks a free display itself and writes its number to the -displayfd descriptor once it
# accepts connections; end of file on that pipe means it failed.
start_display() {
  local fifo=$state/displayfd number=
  rm -f "$fifo" "$state/display"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" </dev/null >"$state/xvfb.log" 2>&1 9>&- &
  echo $! >"$state/xvfb.pid"
  read -r -t 30 number <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$number" ]; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
    rm -f "$state/xvfb.pid"
    echo "wine-env.sh: Xvfb did not start; its log ($state/xvfb.log):" >&2
    cat "$state/xvfb.log" >&2
    exit 1
  fi
  echo ":$number" >"$state/display"
  DISPLAY=":$number" openbox </dev/null >"$state/openbox.log" 2>&1 9>&- &
  echo $! >"$state/openbox.pid"
}

# Removes drive Z: and makes the user's shell folders (Desktop, Documents, ...), which Wine links
# into the Linux home, plain folders of the prefix, so that C: holds nothing from outside.
hide_host() {
  rm -f "$WINEPREFIX/dosdevices/z:"
  find "$WINEPREFIX/drive_c/users" -maxdepth 2 -type l | while IFS= read -r link; do
    rm -f "$link" && mkdir -p "$link"
  done
}

create_prefix() {
  rm -rf "$WINEPREFIX"
  if ! "$wine" wineboot -i </dev/null >"$state/wineboot.log" 2>&1 9>&-; then
    echo "wine-env.sh: creating the Wine prefix failed; its log ($state/wineboot.log):" >&2
    cat "$state/wineboot.log" >&2
    exit 1
  fi
  wineserver -w
  "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 9>&-
  wineserver -w
  touch "$state/prefix.ready"
}

up() {
  local no_z=no
  [ "${1:-}" = --no-z ] && no_z=yes
  exec 9>"$state/lock"
  flock 9
  [ -f "$state/prefix.ready" ] || create_prefix
  [ "$no_z" = no ] || hide_host
  display_alive || start_display
  # A new persistent server: start Wine's services now, detached from the caller's
  # output, so that no long-lived process holds a pipe of the caller open.
  if wineserver -p </dev/null >/dev/null 2>&1 9>&-; then
    DISPLAY=$(cat "$state/display") "$wine" reg query 'HKCU\Software\Wine' </dev/null >/dev/null 2>&1 9>&- || true
  fi
}

# Ends a process this environment started, by the pid it recorded, and waits up to 5 s for it.
stop() {
  local pid
  pid=$(pid_of "$1" "$2") || { rm -f "$state/$1.pid"; return 0; }
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
  rm -f "$state/$1.pid"
}

down() {
  # The server takes every process of the prefix with it: programs, services, winedevice.
  wineserver -k >/dev/null 2>&1 || true
  timeout 10 wineserver -w >/dev/null 2>&1 || true
  stop openbox openbox
  stop xvfb Xvfb
  rm -f "$state/display"
}

case $cmd in
  up) shift 2; up "$@" ;;
  down) down ;;
  running) xvfb_alive ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
