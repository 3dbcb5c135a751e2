#!/usr/bin/env bash
# File scan benchmark: builds the programs, generates the tree in BUILD/bench-tree, runs the
# engine, a bare Win32 loop and native find/cat on it, pinned to CPU 0 with the wineserver,
# and prints each phase's time, memory and the ratios against the targets.
#   bench/run.sh [BUILD] [--keep]     (--keep leaves the tree, signature and prefix for a rerun)
set -euo pipefail
# Wine maps file names through the locale's character set: without UTF-8 it cannot name most files.
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
keep=no
for arg in "$@"; do
  case $arg in
    --keep) keep=yes ;;
    *) build=$(mkdir -p "$arg" && cd "$arg" && pwd) ;;
  esac
done
tree=$build/bench-tree
bin=$build/bench
results=$build/bench-results.txt
runs=5

"$root/scripts/build.sh" "$build" -j2 --target bench >/dev/null

if [ ! -f "$tree/.complete" ]; then
  echo "generating $tree ..."
  rm -rf "$tree"
  python3 "$root/bench/make-tree.py" "$tree" 4 >/dev/null
  touch "$tree/.complete"
fi
# 48 MiB signature.dat beside the engine: payload and its MD5 digest.
python3 - "$bin/signature.dat" <<'PY'
import hashlib, os, sys
if not os.path.exists(sys.argv[1]) or os.path.getsize(sys.argv[1]) != 50331648:
    payload = os.urandom(50331648 - 16)
    with open(sys.argv[1], "wb") as f:
        f.write(payload + hashlib.md5(payload).digest())
PY

# A Wine environment of its own; its server, started anew under taskset, is pinned to CPU 0
# like the programs.
state=$build/bench-wine
env_sh=$root/scripts/wine-env.sh
"$env_sh" down "$state"
trap '"$env_sh" down "$state"' EXIT
taskset -c 0 "$env_sh" up "$state"
export WINEPREFIX=$state/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
DISPLAY=$(cat "$state/display")
export DISPLAY
pinned() { taskset -c 0 "$@"; }
win_tree="Z:${tree//\//\\}"
win_sig="Z:${bin//\//\\}\\signature.dat"

: >"$results"
note() { echo "$1" >>"$results"; }
ms_of() { local start=$(date +%s%N); "$@" >/dev/null; echo "scale=3; ($(date +%s%N) - $start) / 1000000" | bc; }

listed_find() {
  find "$tree" -type f \( -iname '*.apk' -o -iname '*.bat' -o -iname '*.bin' -o -iname '*.cgi' -o -iname '*.com' \
    -o -iname '*.cpp' -o -iname '*.dll' -o -iname '*.exe' -o -iname '*.gadget' -o -iname '*.gtp' -o -iname '*.jar' \
    -o -iname '*.js' -o -iname '*.msi' -o -iname '*.msu' -o -iname '*.ocx' -o -iname '*.pif' -o -iname '*.pwz' \
    -o -iname '*.thm' -o -iname '*.vb' -o -iname '*.wsf' \)
}
native_list() { listed_find | LC_ALL=C sort -f >"$build/bench-list.txt"; }
native_read() { tr '\n' '\0' <"$build/bench-list.txt" | xargs -0 cat >/dev/null; }
export -f listed_find native_list native_read
export tree build

echo "warming the caches ..."
pinned bash -c native_list
pinned bash -c native_read
pinned wine "$bin/bench_bare.exe" scan "$win_tree" >/dev/null

echo "measuring ($runs runs each) ..."
for run in $(seq $runs); do
  pinned wine "$bin/bench_engine.exe" scan "$win_tree" | sed "s/^/run$run./" >>"$results"
  pinned wine "$bin/bench_bare.exe" scan "$win_tree" | sed "s/^/run$run./" >>"$results"
  pinned wine "$bin/bench_engine.exe" sig | sed "s/^/run$run./" >>"$results"
  pinned wine "$bin/bench_bare.exe" sig "$win_sig" | sed "s/^/run$run./" >>"$results"
  note "run$run.native_list_ms=$(ms_of pinned bash -c native_list)"
  note "run$run.native_read_ms=$(ms_of pinned bash -c native_read)"
  note "run$run.native_md5_ms=$(ms_of pinned md5sum "$bin/signature.dat")"
done
pinned wine "$bin/bench_engine.exe" stop "$win_tree" >>"$results"
note "native_find_peak_kib=$( { /usr/bin/time -f %M taskset -c 0 bash -c listed_find >/dev/null; } 2>&1 )"
note "tree_files=$(find "$tree" -type f | wc -l)"
note "tree_folders=$(find "$tree" -type d | wc -l)"

python3 "$root/bench/report.py" "$results"

if [ "$keep" = no ]; then
  "$env_sh" down "$state"
  rm -rf "$tree" "$bin/signature.dat" "$build/bench-list.txt" "$state"
fi
