#!/usr/bin/env bash
# The README's test command: installs what is missing, builds both editions and runs every test.
#   test.sh [ctest options...]   (the options go to each edition's ctest)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_BUILD_DIR:-$root/build}
build64=${QV_BUILD64_DIR:-$root/build64}
QV_ARCH=x86 "$root/scripts/build.sh" "$build"
QV_ARCH=x64 "$root/scripts/build.sh" "$build64"
trap '"$root/scripts/wine-env.sh" down "$build/wine"; "$root/scripts/wine-env.sh" down "$build64/wine"' EXIT

status=0
echo "== detection core, native: tests, sanitizers, fuzzers, clamscan comparison"
"$root/scripts/native-test.sh" "${QV_NATIVE_BUILD_DIR:-$root/build-native}" || status=1
echo "== 32-bit edition ($build)"
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  (cd "$build" && ctest --output-on-failure -j2 "$@") || status=1
else
  # Kernels built without 32-bit support (or booted with ia32_emulation=off) cannot start Wine's
  # 32-bit loader: only the tests that need no Wine run for this edition, and its installer's,
  # which installs with the 64-bit msiexec.
  echo "This machine cannot run 32-bit programs: the 32-bit edition runs only its tests without Wine and its installer's."
  (cd "$build" && ctest --output-on-failure -j2 -L 'nowine|packaging' "$@") || status=1
fi
echo "== 64-bit edition ($build64)"
(cd "$build64" && ctest --output-on-failure -j2 "$@") || status=1
exit $status
