#!/usr/bin/env bash
# Makes a demo signature.dat: 16 MiB of payload stamped by the program's own -sig mode.
#   make-demo-signature.sh WINE_RUN PROGRAM.exe OUTPUT
set -euo pipefail
wine_run=$1 exe=$2 out=$3
payload=$out.payload
yes 'Quorvane demo signature payload' | head -c 16777216 >"$payload" || true
[ "$(stat -c %s "$payload")" -eq 16777216 ]
# A value starting with "/" would be taken for another switch: pass the name relative to its folder.
# --once: the Wine server and display this step starts are stopped again when it ends.
(cd "$(dirname "$payload")" && timeout 120 "$wine_run" --once "$exe" -sig "$(basename "$payload")")
[ "$(stat -c %s "$payload")" -eq 16777232 ] || { echo "stamping $payload failed" >&2; exit 1; }
mv "$payload" "$out"
