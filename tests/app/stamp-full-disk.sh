#!/usr/bin/env bash
# Stamping on a disk that has room for only half of the trailer: the program reports
# "Stream write error" and the file is left exactly as it was. Needs a small tmpfs (root).
#   stamp-full-disk.sh WINE_STATE WINE_RUN QUORVANE.exe
set -euo pipefail
state=$1 wine_run=$2 exe=$3
dir=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill -9 "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  # Wine's server may hold the file a moment longer than the killed program.
  for _ in $(seq 50); do umount "$dir" 2>/dev/null && break; sleep 0.1; done
  umount -l "$dir" 2>/dev/null || true
  rmdir "$dir" 2>/dev/null || true
}
trap cleanup EXIT
# 4097 pages; the payload leaves 8 bytes free in its last page.
if ! mount -t tmpfs -o size=16781312 tmpfs "$dir" 2>/dev/null; then
  echo "cannot mount a small tmpfs here: skipped"
  exit 77
fi
head -c 16781304 /dev/urandom >"$dir/payload.bin"
before=$(md5sum <"$dir/payload.bin")
changed_before=$(stat -c %z "$dir/payload.bin")

(cd "$dir" && exec "$wine_run" "$exe" -sig payload.bin) &
pid=$!
box=
for _ in $(seq 300); do
  if [ -f "$state/display" ]; then
    box=$(DISPLAY=$(cat "$state/display") xwininfo -root -tree 2>/dev/null | grep -i '"Error": ("quorvane.exe"' || true)
    [ -n "$box" ] && break
  fi
  kill -0 "$pid" 2>/dev/null || { echo "the program ended without an error box"; exit 1; }
  sleep 0.1
done
[ -n "$box" ] || { echo "no error box within 30 s"; exit 1; }

# The change time moves with the partial write: proof that the write was really tried.
[ "$(stat -c %z "$dir/payload.bin")" != "$changed_before" ] || { echo "the program never wrote to the file"; exit 1; }
size=$(stat -c %s "$dir/payload.bin")
after=$(md5sum <"$dir/payload.bin")
echo "size after the failed stamping: $size"
[ "$size" -eq 16781304 ] && [ "$before" = "$after" ] || { echo "the file was changed"; exit 1; }
echo "file unchanged"
