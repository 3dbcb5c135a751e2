#!/usr/bin/env bash
# The archives the scan tests cannot write with libarchive: rar 4 and 5 from libarchive's own test
# files (uudecoded), and 7z files with a BCJ filter and with an encrypted header, made by 7-Zip.
#   make-archive-fixtures.sh OUT LIBARCHIVE_TEST_DIR
set -euo pipefail
out=$1 tests=$2
mkdir -p "$out"
for name in test_read_format_rar.rar test_read_format_rar5_compressed.rar; do
  python3 - "$tests/$name.uu" "$out/$name" <<'PY'
import binascii, sys
with open(sys.argv[1]) as source, open(sys.argv[2], "wb") as target:
    lines = iter(source)
    for line in lines:
        if line.startswith("begin "):
            break
    for line in lines:
        if line.startswith("end"):
            break
        if line.strip():
            target.write(binascii.a2b_uu(line))
PY
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The member holds a marker the tests' signature matches, behind x86 code the BCJ filter rewrites.
printf '\xe8\x00\x10\x00\x00\xe8\x00\x20\x00\x00QV-BCJ-MEMBER-MARKER' >"$work/program.exe"
rm -f "$out/bcj.7z" "$out/encrypted-header.7z"
(cd "$work" && 7zz a -bd -m0=BCJ -m1=LZMA "$out/bcj.7z" program.exe >/dev/null)
(cd "$work" && 7zz a -bd -mhe=on -pquorvane "$out/encrypted-header.7z" program.exe >/dev/null)
