#!/usr/bin/env bash
# Quarantine benchmark: a 1 GiB file of random bytes quarantined, beside CopyFileW plus
# FlushFileBuffers of the same file to the same folder, in rounds whose order alternates, each
# operation in a process of its own, program and wineserver pinned to CPU 0; and the two passes
# over the content (CNG's SHA-256, the AES keystream) timed in memory.
#   bench/quarantine.sh [BUILD] [--keep] [--rounds N]
# --keep leaves the source file and the prefix for a rerun; N rounds (default 3).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
keep=no
rounds=3
while [ $# -gt 0 ]; do
  case $1 in
    --keep) keep=yes ;;
    --rounds) rounds=${2:?--rounds N}; shift ;;
    *) build=$(mkdir -p "$1" && cd "$1" && pwd) ;;
  esac
  shift
done
case $(grep -s '^CMAKE_TOOLCHAIN_FILE' "$build/CMakeCache.txt" || true) in
  *x86_64*) export QV_ARCH=x64 ;;
  *i686*) export QV_ARCH=x86 ;;
esac
"$root/scripts/build.sh" "$build" -j2 --target bench_quarantine >/dev/null
QV_WINE=$(sed -n 's/^QV_WINE=//p' "$build/wine-run")
export QV_WINE
wine=$QV_WINE
program=$build/bench/bench_quarantine.exe

# Everything on one volume: the source, the file acted on, its copy and the store.
work=$build/bench-quarantine
store=$work/store
mkdir -p "$store"
[ -f "$work/source.bin" ] && [ "$(stat -c %s "$work/source.bin")" = 1073741824 ] ||
  head -c 1073741824 /dev/urandom >"$work/source.bin"

state=$build/bench-quarantine-wine
env_sh=$root/scripts/wine-env.sh
"$env_sh" down "$state"
cleanup() {
  "$env_sh" down "$state"
  rm -f "$work/file.bin" "$work/copy.bin" "$store"/*
  [ "$keep" = yes ] || rm -rf "$work" "$state"
}
trap cleanup EXIT
taskset -c 0 "$env_sh" up "$state"
export WINEPREFIX=$state/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
win() { printf 'Z:%s' "${1//\//\\}"; }

results=$build/bench-quarantine-results.txt
: >"$results"
# A fresh file to act on, written out to the disk first, so that neither side pays for the other's writes.
fresh() { cp "$work/source.bin" "$work/file.bin"; rm -f "$work/copy.bin" "$store"/*; sync; }
copy() { fresh; taskset -c 0 "$wine" "$program" copy "$(win "$work/file.bin")" "$(win "$work/copy.bin")" | tr -d '\r' >>"$results"; }
quarantine() { fresh; taskset -c 0 "$wine" "$program" quarantine "$(win "$work/file.bin")" "$(win "$store")" | tr -d '\r' >>"$results"; }
for round in $(seq "$rounds"); do
  echo "round $round of $rounds ..."
  if [ $((round % 2)) -eq 1 ]; then copy; quarantine; else quarantine; copy; fi
  taskset -c 0 "$wine" "$program" parts | tr -d '\r' >>"$results"
done

python3 - "$results" <<'PY'
import statistics, sys
values = {}
for line in open(sys.argv[1]):
    name, _, value = line.strip().partition("=")
    values.setdefault(name, []).append(float(value))
copy = statistics.median(values["copy_ms"])
quarantine = statistics.median(values["quarantine_ms"])
print(f"CopyFileW + FlushFileBuffers, 1 GiB: median {copy / 1000:.2f} s ({1024 / (copy / 1000):.0f} MiB/s), "
      f"runs {', '.join(f'{v / 1000:.2f}' for v in values['copy_ms'])}")
print(f"QuarantineFile, 1 GiB:            median {quarantine / 1000:.2f} s ({1024 / (quarantine / 1000):.0f} MiB/s), "
      f"runs {', '.join(f'{v / 1000:.2f}' for v in values['quarantine_ms'])}")
print(f"quarantine / copy: {quarantine / copy:.2f} x")
sha = statistics.median(values["sha256_ms"])
keystream = statistics.median(values["keystream_ms"])
print(f"in memory, 1 GiB: CNG SHA-256 {sha / 1000:.2f} s, AES keystream {keystream / 1000:.2f} s; "
      f"a quarantine makes both passes twice (write, read back): {2 * (sha + keystream) / 1000:.2f} s")
growth = max(values["peak_growth_mib"])
print(f"peak working set growth: at most {growth:.1f} MiB over the runs (target: at most 16 MiB): "
      + ("met" if growth <= 16 else "MISSED"))
PY
