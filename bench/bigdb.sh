#!/usr/bin/env bash
# Large database benchmark: a synthetic set shaped like ClamAV's (4,000,000 SHA-256 and 1,000,000
# MD5 hash signatures with names of their own, 60,000 body signatures, 10,000 allow-list entries),
# built into .qdb files in a signatures folder beside a copy of the programs, against clamscan
# loading the same text files. Measures the tool's build time, the start (mapping and index set-up,
# the trailer check, the whole start), the memory the load commits, and files/s on the listed tree
# against the small benchmark database and against clamscan; everything pinned to CPU 0 with the
# wineserver, in rounds whose order rotates.
#   bench/bigdb.sh [BUILD] [--keep] [--rounds N]      (BUILD: a 64-bit build tree, default build64/)
# --keep leaves the text set, the databases and the prefix for a rerun; N rounds (default 3).
set -euo pipefail
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build64
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
  *i686*) export QV_ARCH=x86 ;;
  *) export QV_ARCH=x64 ;;
esac
"$root/scripts/build.sh" "$build" -j2 --target bench_engine quorvane-sigtool quorvane-scan >/dev/null
QV_WINE=$(sed -n 's/^QV_WINE=//p' "$build/wine-run")
export QV_WINE
wine=$QV_WINE

work=$build/bench-bigdb
sigs=$work/sigs       # the large text set, read by clamscan and built into the .qdb files
small=$work/small     # the file-scan benchmark's own set (bench/run.sh), for the baseline
bin=$work/bin         # the programs with signature.dat (EICAR alone) and signatures\*.qdb
small_bin=$work/small-bin  # the programs with the small database as signature.dat, no signatures folder
hashes_bin=$work/hashes-bin  # the large set's hash signatures and allow list alone in a .qdb
trees=$build/bench-tree
results=$build/bench-bigdb-results.txt
seed=20261219
mkdir -p "$work"

# The listed tree of the file-scan benchmark, shared with bench/run.sh (same generator and seeds).
if [ ! -f "$trees/.complete" ]; then
  echo "generating $trees ..."
  rm -rf "$trees"
  python3 "$root/bench/make-tree.py" "$trees" 1 >/dev/null
  touch "$trees/.complete"
fi
listed=$trees/listed
read -r min_size max_size < <(find "$listed" -type f -printf '%s\n' | sort -n | sed -n '1p;$p' | paste -sd' ')

: >"$results"
note() { echo "$1" >>"$results"; }
now_ns() { date +%s%N; }
ms_since() { local us=$(( ($(now_ns) - $1) / 1000 )); printf '%d.%03d' $((us / 1000)) $((us % 1000)); }
win() { printf 'Z:%s' "${1//\//\\}"; }

stamp="seed=$seed sizes=$min_size-$max_size"
if [ "$(cat "$sigs/.complete" 2>/dev/null)" != "$stamp" ]; then
  echo "generating $sigs ..."
  rm -rf "$sigs" "$bin"
  start=$(now_ns)
  python3 "$root/bench/make-bigdb.py" "$sigs" --seed $seed --min-size "$min_size" --max-size "$max_size"
  echo "generate_ms=$(ms_since "$start")" >"$sigs/.figures"
  echo "$stamp" >"$sigs/.complete"
fi
cat "$sigs/.figures" >>"$results"
if [ ! -f "$small/.complete" ]; then
  python3 "$root/bench/make-sigs.py" "$small" --seed 20261210 --hdb 100000 --ndb 2000
  touch "$small/.complete"
fi

# A Wine environment of its own; its server, started anew under taskset, is pinned to CPU 0 like the programs.
state=$work/wine
env_sh=$root/scripts/wine-env.sh
"$env_sh" down "$state"
cleanup() {
  "$env_sh" down "$state"
  [ "$keep" = yes ] || rm -rf "$sigs" "$small" "$bin" "$small_bin" "$hashes_bin" "$state"
}
trap cleanup EXIT
taskset -c 0 "$env_sh" up "$state"
export WINEPREFIX=$state/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
DISPLAY=$(cat "$state/display")
export DISPLAY
pinned() { taskset -c 0 "$@"; }

# timed TAG COMMAND...: wall time and peak resident size (GNU time) of one pinned command.
timed() {
  local tag=$1 start status=0
  shift
  start=$(now_ns)
  /usr/bin/time -f '%M' -o "$work/time" taskset -c 0 "$@" >"$work/out" 2>&1 || status=$?
  note "$tag.ms=$(ms_since "$start")"
  note "$tag.peak_kib=$(tail -n 1 "$work/time")"
  return $status
}
sigtool=("$wine" "$build/quorvane-sigtool.exe" build)

# The copies of the programs: the large set as .qdb files in signatures\, beside a signature.dat
# holding EICAR alone; and the small database as signature.dat, with no signatures folder.
for folder in "$bin" "$small_bin" "$hashes_bin"; do
  mkdir -p "$folder"
  cp -p "$build/quorvane-scan.exe" "$build/bench/bench_engine.exe" "$folder/"
done
if [ ! -f "$small_bin/signature.dat" ]; then
  "${sigtool[@]}" "$(win "$small_bin/signature.dat")" "$(win "$small/bench.hdb")" "$(win "$small/bench.ndb")" >/dev/null
fi
[ -f "$bin/signature.dat" ] || "${sigtool[@]}" "$(win "$bin/signature.dat")" "$(win "$sigs/eicar.ndb")" >/dev/null
if [ ! -f "$bin/signatures/.complete" ]; then
  echo "building $bin/signatures ..."
  rm -rf "$bin/signatures" && mkdir -p "$bin/signatures"
  total=0
  for part in main daily; do
    inputs=()
    for f in "$sigs/$part".*; do inputs+=("$(win "$f")"); done
    if ! timed "build_$part" "${sigtool[@]}" "$(win "$bin/signatures/$part.qdb")" "${inputs[@]}"; then
      echo "building $part.qdb failed:" >&2
      tail "$work/out" >&2
      exit 1
    fi
    total=$(awk -v a="$total" -v b="$(sed -n "s/^build_$part.ms=//p" "$results")" 'BEGIN { print a + b }')
  done
  note "build.ms=$total"
  grep '^build' "$results" >"$bin/signatures/.figures"
  touch "$bin/signatures/.complete"
else
  cat "$bin/signatures/.figures" >>"$results"
fi
# (The body signatures alone cannot make a .qdb: compiled, they need more than 16 times their payload.)
if [ ! -f "$hashes_bin/signatures/hashes.qdb" ]; then
  mkdir -p "$hashes_bin/signatures"
  inputs=()
  for f in "$sigs"/*.hsb "$sigs"/*.hdb "$sigs"/*.fp; do inputs+=("$(win "$f")"); done
  "${sigtool[@]}" "$(win "$hashes_bin/signatures/hashes.qdb")" "${inputs[@]}" >/dev/null
fi
note "qdb_bytes=$(find "$bin/signatures" -name '*.qdb' -printf '%s\n' | awk '{ s += $1 } END { print s }')"
note "text_bytes=$(find "$sigs" -type f ! -name '.*' -printf '%s\n' | awk '{ s += $1 } END { print s }')"
note "listed.files=$(find "$listed" -type f | wc -l)"

clam=(clamscan --no-summary -d "$sigs" --bytecode=no --scan-archive=no --scan-pe=no --scan-elf=no
  --scan-ole2=no --scan-pdf=no --scan-swf=no --scan-html=no --scan-xmldocs=no --scan-hwp3=no --scan-onenote=no
  --scan-mail=no --scan-image=no --scan-image-fuzzy-hash=no --phishing-sigs=no --phishing-scan-urls=no)
empty=$work/empty.bin
: >"$empty"

# scan TAG FOLDER TARGET: one whole quorvane-scan process from FOLDER (its signature.dat and
# signatures\), every line printed as clamscan does; its objects and findings under TAG.
scan() {
  local tag=$1
  timed "$tag" "$wine" "$2/quorvane-scan.exe" "$(win "$3")" || [ $? -le 1 ] || {
    echo "quorvane-scan failed:" >&2; tail "$work/out" >&2; exit 1; }
  note "$tag.files=$(tr -d '\r' <"$work/out" | sed -n 's/^Objects scanned: //p')"
  note "$tag.findings=$(grep -c ' FOUND' "$work/out" || true)"
}
clamscan_run() {
  local tag=$1
  timed "$tag" "${clam[@]}" "${@:2}" || [ $? -le 1 ] || { echo "clamscan failed:" >&2; tail "$work/out" >&2; exit 1; }
  note "$tag.files=$(grep -c ': ' "$work/out" || true)"
  note "$tag.findings=$(grep -c ' FOUND$' "$work/out" || true)"
}
# engine TAG FOLDER MODE...: one bench_engine process of FOLDER, its name=value lines under TAG.
engine() {
  local tag=$1 folder=$2
  shift 2
  pinned "$wine" "$folder/bench_engine.exe" "$@" | tr -d '\r' | sed "s/^/$tag./" >>"$results"
}

step() {
  local run=$1
  case $2 in
    phases) engine "run$run.phases" "$bin" qdb ;;
    phases_hashes) engine "run$run.phases_hashes" "$hashes_bin" qdb ;;
    start) engine "run$run.start" "$bin" sig ;;
    start_small) engine "run$run.start_small" "$small_bin" sig ;;
    tool_start) scan "run$run.tool_start" "$bin" "$empty" ;;
    tool_start_small) scan "run$run.tool_start_small" "$small_bin" "$empty" ;;
    clam_load) clamscan_run "run$run.clam_load" "$empty" ;;
    tool_listed) scan "run$run.tool_listed" "$bin" "$listed" ;;
    tool_listed_small) scan "run$run.tool_listed_small" "$small_bin" "$listed" ;;
    clam_listed) clamscan_run "run$run.clam_listed" -r "$listed" ;;
  esac
}
rotated() { # rotated N WORDS...: the words from the (N mod count)-th on, then the rest
  local n=$1
  shift
  local words=("$@") i
  for i in $(seq 0 $(( ${#words[@]} - 1 ))); do echo "${words[$(( (i + n) % ${#words[@]} ))]}"; done
}

echo "warming the caches ..."
find "$listed" "$sigs" "$bin" "$small_bin" "$hashes_bin" -type f -print0 | xargs -0 cat >/dev/null
pinned "${clam[@]}" "$empty" >/dev/null
pinned "$wine" "$bin/quorvane-scan.exe" "$(win "$empty")" >/dev/null || true

echo "measuring ($rounds rounds) ..."
note "machine.load_start=$(cut -d' ' -f1-3 /proc/loadavg)"
for run in $(seq "$rounds"); do
  echo "round $run of $rounds ..."
  for group in "phases phases_hashes start start_small tool_start tool_start_small clam_load" \
               "tool_listed tool_listed_small clam_listed"; do
    # shellcheck disable=SC2086
    for kind in $(rotated "$run" $group); do step "$run" "$kind"; done
  done
done
note "machine.load=$(cut -d' ' -f1-3 /proc/loadavg)"
note "machine.edition=$QV_ARCH ($wine)"

python3 "$root/bench/report-bigdb.py" "$results"
