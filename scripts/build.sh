#!/usr/bin/env bash
# Installs what is missing and builds into BUILD (default: build/ beside the sources).
#   build.sh [BUILD] [cmake --build options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" "$@"
