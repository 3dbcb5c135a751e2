#!/usr/bin/env bash
# Builds the detection core and the archive walk natively (clang) into $1 (default build-native/) and runs their
# tests plain and under ASan/UBSan, the two fuzzers for a bounded time, and the
# differential test against clamscan. Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-native}
mkdir -p "$build"
# libarchive built with clang, ASan, UBSan and fuzzer coverage, once per machine.
libs=$("$root/scripts/build-libs.sh" native)
cmake -S "$root/native" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQV_LIBS_DIR="$libs" >/dev/null
cmake --build "$build" -j2
cd "$build"
status=0
ctest --output-on-failure "${@:2}" | tee ctest.log || status=$?
# A plain closing line for callers that count results.
passed=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* +Passed' ctest.log || true)
failed=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*(Failed|Exception|Timeout|Not Run)' ctest.log || true)
echo "$passed passed, $failed failed"
exit $status
