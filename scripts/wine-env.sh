#!/usr/bin/env bash
# Manages one private Wine environment: a prefix, a persistent wineserver and a
# virtual X display with a window manager, all kept in the folder STATE.
#   wine-env.sh up STATE [--no-z]   create what is missing (idempotent, locked)
#   wine-env.sh down STATE          stop the server and the display
# --no-z makes a new prefix expose only its own drive C: (no Z:, no links into the home). When QV_USE_DISPLAY
# names an X display, it is used instead of a virtual one.
set -euo pipefail

# Wine maps file names through the locale's character set: without UTF-8 it cannot name most files.
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
cmd=${1:?usage: wine-env.sh up|down STATE}
state=$(mkdir -p "${2:?state folder}" && cd "$2" && pwd)
export WINEPREFIX=$state/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export HOME=${HOME:-$state}
# The loader of the environment's architecture: wine64 runs 64-bit programs without the 32-bit loader.
wine=${QV_WINE:-wine}

display_alive() {
  if [ -n "${QV_USE_DISPLAY:-}" ]; then echo "$QV_USE_DISPLAY" >"$state/display"; return 0; fi
  [ -f "$state/display" ] && [ -f "$state/xvfb.pid" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null
}

start_display() {
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$state/xvfb.log" 2>&1 9>&- &
  echo $! >"$state/xvfb.pid"
  for _ in $(seq 100); do
    DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
  done
  echo ":$n" >"$state/display"
  DISPLAY=":$n" openbox </dev/null >"$state/openbox.log" 2>&1 9>&- &
  echo $! >"$state/openbox.pid"
}

create_prefix() {
  local no_z=$1
  rm -rf "$WINEPREFIX"
  "$wine" wineboot -i </dev/null >"$state/wineboot.log" 2>&1 9>&-
  wineserver -w
  "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 9>&-
  wineserver -w
  if [ "$no_z" = yes ]; then
    rm -f "$WINEPREFIX/dosdevices/z:"
    # Wine links the user's shell folders (Desktop, Documents, ...) into the Linux home:
    # make them plain folders of the prefix, so that C: holds nothing from outside.
    find "$WINEPREFIX/drive_c/users" -maxdepth 2 -type l | while IFS= read -r link; do
      rm -f "$link" && mkdir -p "$link"
    done
  fi
  touch "$state/prefix.ready"
}

up() {
  local no_z=no
  [ "${1:-}" = --no-z ] && no_z=yes
  exec 9>"$state/lock"
  flock 9
  [ -f "$state/prefix.ready" ] || create_prefix "$no_z"
  display_alive || start_display
  # A new persistent server: start Wine's services now, detached from the caller's
  # output, so that no long-lived process holds a pipe of the caller open.
  if wineserver -p </dev/null >/dev/null 2>&1 9>&-; then
    DISPLAY=$(cat "$state/display") "$wine" reg query 'HKCU\Software\Wine' </dev/null >/dev/null 2>&1 9>&- || true
  fi
}

down() {
  wineserver -k >/dev/null 2>&1 || true
  for f in openbox xvfb; do
    if [ -f "$state/$f.pid" ]; then kill "$(cat "$state/$f.pid")" 2>/dev/null || true; rm -f "$state/$f.pid"; fi
  done
  rm -f "$state/display"
}

case $cmd in
  up) shift 2; up "$@" ;;
  down) down ;;
  *) echo "usage: wine-env.sh up|down STATE" >&2; exit 2 ;;
esac
