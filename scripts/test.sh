#!/usr/bin/env bash
# The README's test command: installs what is missing, builds and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" "$build"
trap '"$root/scripts/wine-env.sh" down "$build/wine"' EXIT
cd "$build"
ctest --output-on-failure -j2 "$@"
