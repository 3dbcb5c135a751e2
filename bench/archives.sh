#!/usr/bin/env bash
# Archive benchmark: quorvane-scan --archives against clamscan --scan-archive=yes, pinned to CPU 0,
# in N rounds, on a tree of 5,000 zip files of a few KiB-sized random members and on one zip
# with a 64 MiB deflated random member; the peak memory of the big member over an empty scan; and
# --archives on against off on a tree of 5,000 programs without archives.
#   bench/archives.sh [BUILD] [--rounds N] [--program EXE]
# BUILD: a 64-bit build tree, default build64/; EXE: the quorvane-scan.exe to measure, default the
# build tree's (another build's, to compare before and after a change on the same trees).
set -euo pipefail
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build64
rounds=3
program=
while [ $# -gt 0 ]; do
  case $1 in
    --rounds) rounds=${2:?--rounds N}; shift ;;
    --program) program=$(realpath "${2:?--program EXE}"); shift ;;
    *) build=$(cd "$1" && pwd) ;;
  esac
  shift
done
program=${program:-$build/quorvane-scan.exe}
work=$build/bench-archives
win() { echo "Z:$(realpath "$1" | tr / '\\')"; }

# A Wine environment of its own, whose server, started anew under taskset, shares CPU 0 with the
# programs: with the server free to run on the other CPU, every call it serves is a wake-up across
# CPUs, and a wait for a turn there when other programs load the machine.
QV_WINE=$(sed -n 's/^QV_WINE=//p' "$build/wine-run")
export QV_WINE
state=$build/bench-archives-wine
env_sh=$root/scripts/wine-env.sh
"$env_sh" down "$state"
trap '"$env_sh" down "$state"' EXIT
taskset -c 0 "$env_sh" up "$state"
export WINEPREFIX=$state/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
DISPLAY=$(cat "$state/display")
export DISPLAY
export LC_ALL=C.UTF-8
run() { "$QV_WINE" "$@"; }

if [ ! -f "$work/.complete" ]; then
  rm -rf "$work" && mkdir -p "$work"
  python3 - "$work" <<'PY'
import os, random, sys, zipfile
work = sys.argv[1]
rng = random.Random(20261211)
def noise(n): return rng.randbytes(n)
for name in ("zips", "programs", "big", "empty", "sigs"):
    os.makedirs(os.path.join(work, name))
for i in range(5000):
    folder = os.path.join(work, "zips", "d%02d" % (i // 100))
    os.makedirs(folder, exist_ok=True)
    with zipfile.ZipFile(os.path.join(folder, "a%04d.zip" % i), "w", zipfile.ZIP_DEFLATED) as z:
        for m in range(rng.randint(2, 4)):
            z.writestr("m%d.bin" % m, noise(rng.randint(1024, 4096)))
    folder = os.path.join(work, "programs", "d%02d" % (i // 100))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "p%04d.exe" % i), "wb") as out:
        out.write(b"MZ" + noise(rng.randint(1024, 8192)))
with zipfile.ZipFile(os.path.join(work, "big", "big.zip"), "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("big.bin", noise(64 << 20))
with open(os.path.join(work, "sigs", "bench.ndb"), "w") as out:
    for i in range(1000):
        out.write("Bench.Body.%d:0:*:%s\n" % (i, noise(8).hex()))
with open(os.path.join(work, "sigs", "bench.hdb"), "w") as out:
    for i in range(1000):
        out.write("%s:%d:Bench.Md5.%d\n" % (noise(16).hex(), rng.randint(1, 9000), i))
PY
  run "$build/quorvane-sigtool.exe" build "$(win "$work/sigs")\\bench.dat" "$(win "$work/sigs/bench.ndb")" \
    "$(win "$work/sigs/bench.hdb")" >/dev/null
  touch "$work/.complete"
fi
database=$(win "$work/sigs")\\bench.dat
big_bytes=$((64 << 20))

# One run of a step, pinned to CPU 0; prints "seconds peak_kib".
timed() {
  { /usr/bin/time -f '%e %M' -o "$work/time" taskset -c 0 "$@" >/dev/null 2>&1 || [ $? -le 1 ]; } || true
  cat "$work/time"
}
ours() { timed "$QV_WINE" "$program" --quiet --database "$database" "$@"; }
clam() { timed clamscan --no-summary --infected -d "$work/sigs/bench.ndb" -d "$work/sigs/bench.hdb" --bytecode=no \
  --scan-archive=yes --max-filesize=300M --max-scansize=300M -r "$@"; }
step() {
  case $1 in
    q_zips) ours --archives "$(win "$work/zips")" ;;
    c_zips) clam "$work/zips" ;;
    q_big) ours --archives "$(win "$work/big")" ;;
    c_big) clam "$work/big" ;;
    q_empty) ours --archives "$(win "$work/empty")" ;;
    q_on) ours --archives "$(win "$work/programs")" ;;
    q_off) ours "$(win "$work/programs")" ;;
  esac
}

# Each round runs the steps of a ratio back to back, the first of the pair alternating from round to
# round: load from other programs moves single runs by up to 2 x, the paired ratio far less.
run "$program" --version >/dev/null
results=$work/results.txt
: >"$results"
for ((r = 0; r < rounds; r++)); do
  for pair in "q_zips c_zips" "q_big c_big" "q_on q_off"; do
    read -r first second <<<"$pair"
    ((r % 2 == 0)) || { tmp=$first; first=$second; second=$tmp; }
    for name in "$first" "$second"; do
      read -r t m < <(step "$name")
      echo "$r $name $t $m" >>"$results"
    done
  done
  read -r t m < <(step q_empty)
  echo "$r q_empty $t $m" >>"$results"
done
python3 - "$results" "$big_bytes" <<'PY'
import collections, statistics, sys
runs = collections.defaultdict(dict)
peak = collections.defaultdict(int)
best = {}
for line in open(sys.argv[1]):
    r, name, t, m = line.split()
    runs[int(r)][name] = float(t)
    peak[name] = max(peak[name], int(m))
    best[name] = min(best.get(name, float("inf")), float(t))
def ratio(num, den):
    values = sorted(runs[r][num] / runs[r][den] for r in runs)
    return "%.2f x [%.2f-%.2f]" % (statistics.median(values), values[0], values[-1])
mb = int(sys.argv[2]) / 1e6
print("zip tree (5,000 files): quorvane %.0f files/s, clamscan %.0f files/s (best runs); paired: %s (target 1.5 x)"
      % (5000 / best["q_zips"], 5000 / best["c_zips"], ratio("c_zips", "q_zips")))
print("64 MiB member: quorvane %.1f MB/s, clamscan %.1f MB/s (best runs); paired: %s (target 2 x)"
      % (mb / best["q_big"], mb / best["c_big"], ratio("c_big", "q_big")))
print("peak memory: big member %d KiB, empty scan %d KiB: %+.1f MiB (target 32 MiB at most)"
      % (peak["q_big"], peak["q_empty"], (peak["q_big"] - peak["q_empty"]) / 1024))
print("programs without archives: --archives on %.0f files/s, off %.0f files/s (best runs); paired: %s (target 0.9 x)"
      % (5000 / best["q_on"], 5000 / best["q_off"], ratio("q_off", "q_on")))
print("rounds: %d; load average at the end: %s" % (len(runs), open("/proc/loadavg").read().split()[0]))
PY
