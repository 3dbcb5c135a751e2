#!/usr/bin/env bash
# Archive benchmark: quorvane-scan --archives against clamscan --scan-archive=yes, pinned to CPU 0,
# best of N rounds, on a tree of 5,000 zip files of a few KiB-sized random members and on one zip
# with a 64 MiB deflated random member; the peak memory of the big member over an empty scan; and
# --archives on against off on a tree of 5,000 programs without archives.
#   bench/archives.sh [BUILD] [--rounds N]      (BUILD: a 64-bit build tree, default build64/)
set -euo pipefail
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build64
rounds=3
while [ $# -gt 0 ]; do
  case $1 in
    --rounds) rounds=${2:?--rounds N}; shift ;;
    *) build=$(cd "$1" && pwd) ;;
  esac
  shift
done
work=$build/bench-archives
run=$build/wine-run
win() { echo "Z:$(realpath "$1" | tr / '\\')"; }

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
  "$run" "$build/quorvane-sigtool.exe" build "$(win "$work/sigs")\\bench.dat" "$(win "$work/sigs/bench.ndb")" \
    "$(win "$work/sigs/bench.hdb")" >/dev/null
  touch "$work/.complete"
fi
database=$(win "$work/sigs")\\bench.dat
big_bytes=$((64 << 20))

# best SECONDS KIB of N rounds of a command; prints "seconds peak_kib".
best() {
  local fastest="" peak=0 i t m
  for ((i = 0; i < rounds; i++)); do
    { /usr/bin/time -f '%e %M' -o "$work/time" taskset -c 0 "$@" >/dev/null 2>&1 || [ $? -le 1 ]; } || true
    read -r t m <"$work/time"
    if [ -z "$fastest" ] || awk "BEGIN{exit !($t < $fastest)}"; then fastest=$t; fi
    [ "$m" -gt "$peak" ] && peak=$m
  done
  echo "$fastest $peak"
}
ours() { best "$run" "$build/quorvane-scan.exe" --quiet --database "$database" "$@"; }
clam() { best clamscan --no-summary --infected -d "$work/sigs/bench.ndb" -d "$work/sigs/bench.hdb" --bytecode=no \
  --scan-archive=yes --max-filesize=300M --max-scansize=300M -r "$@"; }

"$run" "$build/quorvane-scan.exe" --version >/dev/null  # the prefix and its server are up
read -r q_zips _ < <(ours --archives "$(win "$work/zips")")
read -r c_zips _ < <(clam "$work/zips")
read -r q_big q_big_kib < <(ours --archives "$(win "$work/big")")
read -r c_big _ < <(clam "$work/big")
read -r _ q_empty_kib < <(ours --archives "$(win "$work/empty")")
read -r q_on _ < <(ours --archives "$(win "$work/programs")")
read -r q_off _ < <(ours "$(win "$work/programs")")
awk -v qz="$q_zips" -v cz="$c_zips" -v qb="$q_big" -v cb="$c_big" -v qk="$q_big_kib" -v ek="$q_empty_kib" \
    -v on="$q_on" -v off="$q_off" -v bytes="$big_bytes" 'BEGIN {
  printf "zip tree (5,000 files): quorvane %.0f files/s, clamscan %.0f files/s: %.2f x (target 1.5 x)\n", 5000/qz, 5000/cz, cz/qz
  printf "64 MiB member: quorvane %.1f MB/s, clamscan %.1f MB/s: %.2f x (target 2 x)\n", bytes/qb/1e6, bytes/cb/1e6, cb/qb
  printf "peak memory: big member %d KiB, empty scan %d KiB: +%.1f MiB (target 32 MiB at most)\n", qk, ek, (qk-ek)/1024
  printf "programs without archives: --archives on %.0f files/s, off %.0f files/s: %.2f x (target 0.9 x)\n", 5000/on, 5000/off, off/on
}'
