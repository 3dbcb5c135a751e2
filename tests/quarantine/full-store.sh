#!/usr/bin/env bash
# A quarantine into a full store: a 1 MiB tmpfs mounted on the test prefix's store folder, and
# the quarantine suite's helper test quarantines a 3 MiB file into it. Needs root for the mount;
# skipped (77) with a message when it fails.
#   full-store.sh WINE_STATE WINE_RUN TEST_QUARANTINE.exe
set -euo pipefail
state=$1 wine_run=$2 exe=$3
# The prefix exists after any run of the program.
"$wine_run" "$exe" --gtest_list_tests >/dev/null
store=$(ls -d "$state"/prefix/drive_c/users/*/AppData/Local | head -n1)/Talbrinn/Quorvane/Quarantine
mkdir -p "$store"
cleanup() {
  # Wine's server may hold a file of the store a moment longer than the program.
  for _ in $(seq 50); do umount "$store" 2>/dev/null && break; sleep 0.1; done
  umount -l "$store" 2>/dev/null || true
}
if ! mount -t tmpfs -o size=1048576 tmpfs "$store" 2>/dev/null; then
  echo "cannot mount a small tmpfs on the store here: skipped"
  exit 77
fi
trap cleanup EXIT
"$wine_run" "$exe" --gtest_also_run_disabled_tests --gtest_filter='FullStore.*'
