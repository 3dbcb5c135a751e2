#!/usr/bin/env bash
# Runs a Windows program in the private Wine environment kept in STATE.
#   wine-run.sh STATE [--once] PROGRAM.exe [ARGS...]
# --once: when the environment was not running, stop it again once the program has ended
# (for a single run such as a build step, which must leave no server or display behind).
set -euo pipefail
# Wine maps file names through the locale's character set: without UTF-8 it cannot name most files.
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
here=$(cd "$(dirname "$0")" && pwd)
state=${1:?state folder}; shift
once=no
if [ "${1:-}" = --once ]; then
  once=yes
  shift
  unset QV_USE_DISPLAY
  "$here/wine-env.sh" running "$state" && once=no
fi
if [ "$once" = yes ]; then
  trap 'trap "" INT TERM; "$here/wine-env.sh" down "$state"' EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
fi
"$here/wine-env.sh" up "$state"
state=$(cd "$state" && pwd)
export WINEPREFIX=$state/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export HOME=${HOME:-$state}
DISPLAY=$(cat "$state/display")
export DISPLAY
wine=${QV_WINE:-wine}
[ "$once" = yes ] || exec "$wine" "$@"
# In the background, so that a signal reaches the traps at once.
"$wine" "$@" <&0 &
status=0
wait $! || status=$?
exit "$status"
