#!/usr/bin/env bash
# Makes the demo signature.dat with the signature tool from the sources in demo/.
#   make-demo-signature.sh WINE_RUN SIGTOOL.exe OUTPUT SOURCE...
set -euo pipefail
wine_run=$1 sigtool=$2 out=$3
shift 3
# The build's Wine environment maps the Linux root as Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
sources=()
for source in "$@"; do sources+=("$(windows_path "$(realpath "$source")")"); done
# --once: the Wine server and display this step starts are stopped again when it ends.
timeout 120 "$wine_run" --once "$sigtool" build "$(windows_path "$(realpath -m "$out")")" "${sources[@]}" </dev/null
[ "$(stat -c %s "$out")" -ge 16777216 ] || { echo "building $out failed" >&2; exit 1; }
