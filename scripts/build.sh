#!/usr/bin/env bash
# Installs what is missing and builds one edition into BUILD (default: build/ beside the sources).
#   build.sh [BUILD] [cmake --build options...]
# QV_ARCH chooses the edition: x86 (the default, 32-bit) or x64.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
case ${QV_ARCH:-x86} in
  x86) toolchain=$root/cmake/toolchain-i686.cmake target=i686 ;;
  x64) toolchain=$root/cmake/toolchain-x86_64.cmake target=x86_64 ;;
  *) echo "QV_ARCH must be x86 or x64" >&2; exit 2 ;;
esac
"$root/scripts/setup.sh"
# libarchive and what it reads through, built once per machine (a warm cache answers at once).
libs=$("$root/scripts/build-libs.sh" "$target")
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQV_LIBS_DIR="$libs" "${launcher[@]}" >/dev/null
cmake --build "$build" "$@"
