#!/usr/bin/env bash
# File scan benchmark: builds the programs, generates the trees and the signature databases in
# BUILD, runs the engine, a bare Win32 loop, clamscan and native find/cat, everything pinned to
# CPU 0 with the wineserver, in rounds whose order rotates, and prints the targets.
#   bench/run.sh [BUILD] [--keep] [--rounds N]
# --keep leaves the trees, databases and prefix for a rerun; N rounds (default 5).
set -euo pipefail
# Wine maps file names through the locale's character set: without UTF-8 it cannot name most files.
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
keep=no
rounds=5
while [ $# -gt 0 ]; do
  case $1 in
    --keep) keep=yes ;;
    --rounds) rounds=${2:?--rounds N}; shift ;;
    *) build=$(mkdir -p "$1" && cd "$1" && pwd) ;;
  esac
  shift
done
trees=$build/bench-tree
bin=$build/bench
sigs=$build/bench-sigs
results=$build/bench-results.txt
seed=20261210

# An existing build folder keeps its edition; a new one gets QV_ARCH's (build.sh's default).
case $(grep -s '^CMAKE_TOOLCHAIN_FILE' "$build/CMakeCache.txt" || true) in
  *x86_64*) export QV_ARCH=x64 ;;
  *i686*) export QV_ARCH=x86 ;;
esac
"$root/scripts/build.sh" "$build" -j2 --target bench >/dev/null
# The build folder's own loader: wine64 for the 64-bit edition, which needs no 32-bit support.
QV_WINE=$(sed -n 's/^QV_WINE=//p' "$build/wine-run")
export QV_WINE
wine=$QV_WINE

if [ ! -f "$trees/.complete" ]; then
  echo "generating $trees ..."
  rm -rf "$trees"
  python3 "$root/bench/make-tree.py" "$trees" 1 >/dev/null
  touch "$trees/.complete"
fi
# Random sets: the benchmark's (100,000 .hdb, 2,000 .ndb, EICAR) and a full one (1,000,000
# .hdb with 20-character names, which fills the 48 MiB payload).
[ -f "$sigs/bench/.complete" ] || {
  python3 "$root/bench/make-sigs.py" "$sigs/bench" --seed $seed --hdb 100000 --ndb 2000 && touch "$sigs/bench/.complete"; }
[ -f "$sigs/full/.complete" ] || {
  python3 "$root/bench/make-sigs.py" "$sigs/full" --seed $seed --hdb 1000000 --ndb 0 && touch "$sigs/full/.complete"; }
# An opaque 48 MiB payload and its MD5 digest, the signature without matching.
python3 - "$bin/opaque.dat" <<'PY'
import hashlib, os, random, sys
if not os.path.exists(sys.argv[1]) or os.path.getsize(sys.argv[1]) != 50331648:
    payload = random.Random(20261212).randbytes(50331648 - 16)
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
win() { printf 'Z:%s' "${1//\//\\}"; }

# The compiled databases: the benchmark's as signature.dat beside the programs, the full one aside.
for set in bench full; do
  out=$bin/$set.dat
  [ "$set" = bench ] && out=$bin/signature.dat
  if [ ! -f "$out" ] || [ "$out" -ot "$sigs/$set/.complete" ]; then
    echo "building $out ..."
    "$wine" "$build/quorvane-sigtool.exe" build "$(win "$out")" "$(win "$sigs/$set/bench.hdb")" \
      "$(win "$sigs/$set/bench.ndb")" >/dev/null
  fi
done

all=$trees/all listed=$trees/listed big=$trees/big empty=$trees/empty one=$trees/one
mkdir -p "$empty" "$one"
[ -f "$one/one.exe" ] || echo "one small listed file" >"$one/one.exe"
clam=(clamscan --no-summary -r -d "$sigs/bench" --bytecode=no --scan-archive=no --scan-pe=no --scan-elf=no
  --scan-ole2=no --scan-pdf=no --scan-swf=no --scan-html=no --scan-xmldocs=no --scan-hwp3=no --scan-onenote=no
  --scan-mail=no --scan-image=no --scan-image-fuzzy-hash=no --phishing-sigs=no --phishing-scan-urls=no)
big_limits=(--max-filesize=600M --max-scansize=600M)

: >"$results"
note() { echo "$1" >>"$results"; }
now_ns() { date +%s%N; }
ms_since() { local us=$(( ($(now_ns) - $1) / 1000 )); printf '%d.%03d' $((us / 1000)) $((us % 1000)); }

# engine TAG ROOT [SIGNATURE]: one whole engine process, its lines and wall time under TAG.
engine() {
  local tag=$1 start out
  shift
  out=$(mktemp)
  start=$(now_ns)
  pinned "$wine" "$bin/bench_engine.exe" "$@" >"$out"
  note "$tag.process_ms=$(ms_since "$start")"
  tr -d '\r' <"$out" | sed "s/^/$tag./" >>"$results"
  rm -f "$out"
}
bare() {
  local tag=$1
  shift
  pinned "$wine" "$bin/bench_bare.exe" "$@" | tr -d '\r' | sed "s/^/$tag./" >>"$results"
}
# clamscan TAG ARGS...: one whole clamscan process; files it reported and those found infected.
clamscan_run() {
  local tag=$1 start out status=0
  shift
  out=$(mktemp)
  start=$(now_ns)
  pinned "${clam[@]}" "$@" >"$out" || status=$?
  note "$tag.process_ms=$(ms_since "$start")"
  [ $status -le 1 ] || { echo "clamscan failed ($status)" >&2; cat "$out" >&2; exit 1; }
  note "$tag.files=$(wc -l <"$out")"
  note "$tag.findings=$(grep -c ' FOUND$' "$out" || true)"
  rm -f "$out"
}
ms_of() { local start=$(now_ns); "$@" >/dev/null; ms_since "$start"; }
# tool TAG ROOT: one whole quorvane-scan process with the benchmark database, printing every line as
# clamscan does; its objects (the file list's report left out) and wall time under TAG.
tool_run() {
  local tag=$1 start out status=0
  out=$(mktemp)
  start=$(now_ns)
  pinned "$wine" "$build/quorvane-scan.exe" --database "$(win "$bin/signature.dat")" "$(win "$2")" >"$out" || status=$?
  note "$tag.process_ms=$(ms_since "$start")"
  [ $status -le 1 ] || { echo "quorvane-scan failed ($status)" >&2; tail "$out" >&2; exit 1; }
  note "$tag.files=$(( $(tr -d '\r' <"$out" | sed -n 's/^Objects scanned: //p') - 1 ))"
  note "$tag.findings=$(grep -c ' FOUND' "$out" || true)"
  rm -f "$out"
}
# The tool's start-up: from the process start to its first line, on a folder of one small file.
tool_start() {
  local tag=$1 start
  start=$(now_ns)
  pinned "$wine" "$build/quorvane-scan.exe" --database "$(win "$bin/signature.dat")" "$(win "$one")" |
    { read -r _; note "$tag.first_line_ms=$(ms_since "$start")"; cat >/dev/null; }
  note "$tag.process_ms=$(ms_since "$start")"
}
# The tool's stop: Ctrl+C (SIGINT, delivered as CTRL_C_EVENT) during the walk of the whole tree and
# during the reading of the 512 MiB file; the time from the signal to the process's end.
stop_ready() {
  case $3 in
    open:*) ls -l "/proc/$1/fd" 2>/dev/null | grep -qF -- "${3#open:}" ;;
    *) [ "$(wc -l <"$2")" -ge "$3" ] ;;
  esac
}

tool_stop() {
  local tag=$1 target=$2 ready=$3 pid start out=$build/bench-stop.txt waited=0
  : >"$out"
  # A background job of a script inherits SIGINT ignored: the tool is started with it restored.
  python3 -c 'import os, signal, sys; signal.signal(signal.SIGINT, signal.SIG_DFL); os.execvp(sys.argv[1], sys.argv[1:])' \
    taskset -c 0 "$wine" "$build/quorvane-scan.exe" --all-files --database "$(win "$bin/signature.dat")" "$(win "$target")" \
    >"$out" 2>/dev/null &
  pid=$!
  # The signal goes once the scan is in the phase being measured (READY: a number of result lines
  # written, or open:FILE, the file being read); the handler is in place by then. A fixed delay
  # also caught Wine's start-up, when the signal ends the process unhandled.
  while ! stop_ready "$pid" "$out" "$ready" && kill -0 "$pid" 2>/dev/null && [ $waited -lt 3000 ]; do
    sleep 0.01
    waited=$((waited + 1))
  done
  start=$(now_ns)
  # A scan that ended before the signal leaves no figure.
  if kill -INT "$pid" 2>/dev/null; then
    wait "$pid" || true
    note "$tag.stop_ms=$(ms_since "$start")"
  else
    wait "$pid" || true
  fi
  rm -f "$out"
}

listed_find() {
  find "$all" -type f \( -iname '*.apk' -o -iname '*.bat' -o -iname '*.bin' -o -iname '*.cgi' -o -iname '*.com' \
    -o -iname '*.cpp' -o -iname '*.dll' -o -iname '*.exe' -o -iname '*.gadget' -o -iname '*.gtp' -o -iname '*.jar' \
    -o -iname '*.js' -o -iname '*.msi' -o -iname '*.msu' -o -iname '*.ocx' -o -iname '*.pif' -o -iname '*.pwz' \
    -o -iname '*.thm' -o -iname '*.vb' -o -iname '*.wsf' \)
}
native_list() { listed_find | LC_ALL=C sort -f >"$build/bench-list.txt"; }
native_read() { tr '\n' '\0' <"$build/bench-list.txt" | xargs -0 cat >/dev/null; }
export -f listed_find native_list native_read
export all build

opaque=$(win "$bin/opaque.dat")
full=$(win "$bin/full.dat")
# The steps of a round, run in an order that rotates from round to round.
step() {
  local run=$1
  case $2 in
    opaque) engine "run$run.all_opaque" scan "$(win "$all")" "$opaque" ;;
    bare) bare "run$run.bare" scan "$(win "$all")" ;;
    db) engine "run$run.all_db" scan "$(win "$all")" ;;
    clam_listed) clamscan_run "run$run.clam_listed" "$listed" ;;
    tool_listed) tool_run "run$run.tool_listed" "$listed" ;;
    tool_big) tool_run "run$run.tool_big" "$big" ;;
    tool_start) tool_start "run$run.tool_start" ;;
    engine_listed) engine "run$run.listed_db" scan "$(win "$listed")" ;;
    engine_listed_opaque) engine "run$run.listed_opaque" scan "$(win "$listed")" "$opaque" ;;
    clam_big) clamscan_run "run$run.clam_big" "${big_limits[@]}" "$big" ;;
    engine_big) engine "run$run.big_db" scan "$(win "$big")" ;;
    clam_load) clamscan_run "run$run.clam_load" "$empty" ;;
    sig_db) engine "run$run.sig_db" sig ;;
    sig_opaque) engine "run$run.sig_opaque" sig "$opaque" ;;
    sig_bare) bare "run$run.sig_bare" sig "$opaque" ;;
    sig_full) engine "run$run.sig_full" sig "$full" ;;
  esac
}
rotated() { # rotated N WORDS...: the words from the (N mod count)-th on, then the rest
  local n=$1
  shift
  local words=("$@") i
  for i in $(seq 0 $(( ${#words[@]} - 1 ))); do echo "${words[$(( (i + n) % ${#words[@]} ))]}"; done
}

echo "warming the caches ..."
pinned bash -c native_list
pinned bash -c native_read
find "$listed" "$big" -type f -print0 | xargs -0 cat >/dev/null
pinned "$wine" "$bin/bench_bare.exe" scan "$(win "$all")" >/dev/null
pinned "${clam[@]}" "$empty" >/dev/null

echo "measuring ($rounds rounds) ..."
note "machine.load_start=$(cut -d' ' -f1-3 /proc/loadavg)"
for run in $(seq "$rounds"); do
  for group in "opaque bare db" "clam_listed engine_listed engine_listed_opaque tool_listed" \
               "clam_big engine_big tool_big" "sig_db sig_opaque sig_bare sig_full clam_load tool_start"; do
    # shellcheck disable=SC2086
    for kind in $(rotated "$run" $group); do step "$run" "$kind"; done
  done
  note "run$run.native.list_ms=$(ms_of pinned bash -c native_list)"
  note "run$run.native.read_ms=$(ms_of pinned bash -c native_read)"
done
echo "stop and peak with the full database ..."
engine stop stop "$(win "$all")"
for attempt in 1 2 3; do
  tool_stop "tool_stop_walk$attempt" "$all" 20
  tool_stop "tool_stop_read$attempt" "$big" "open:$(find "$big" -type f | head -n 1)"
done
engine full_db scan "$(win "$all")" "$full"
note "native.find_peak_kib=$( { /usr/bin/time -f %M taskset -c 0 bash -c listed_find >/dev/null; } 2>&1 )"
note "tree.files=$(find "$all" -type f | wc -l)"
note "tree.folders=$(find "$all" -type d | wc -l)"
note "tree.listed_bytes=$(find "$listed" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')"
note "tree.big_bytes=$(find "$big" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')"
note "machine.load=$(cut -d' ' -f1-3 /proc/loadavg)"
note "machine.edition=${QV_ARCH:-x86} ($wine)"

python3 "$root/bench/report.py" "$results"

if [ "$keep" = no ]; then
  "$env_sh" down "$state"
  rm -rf "$trees" "$sigs" "$bin/signature.dat" "$bin/full.dat" "$bin/opaque.dat" "$build/bench-list.txt" "$state"
fi
