#!/usr/bin/env bash
# Runs a Windows program in the private Wine environment kept in STATE.
#   wine-run.sh STATE PROGRAM.exe [ARGS...]
set -euo pipefail
# Wine maps file names through the locale's character set: without UTF-8 it cannot name most files.
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
here=$(cd "$(dirname "$0")" && pwd)
state=${1:?state folder}; shift
"$here/wine-env.sh" up "$state"
state=$(cd "$state" && pwd)
export WINEPREFIX=$state/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export HOME=${HOME:-$state}
DISPLAY=$(cat "$state/display")
export DISPLAY
exec "${QV_WINE:-wine}" "$@"
