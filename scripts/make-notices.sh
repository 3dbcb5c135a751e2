#!/usr/bin/env bash
# Writes the third-party notices shipped with the programs: the versions of the libraries linked in
# and their licence texts, from an install folder of scripts/build-libs.sh.
#   make-notices.sh LIBS_DIR OUT
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: make-notices.sh LIBS_DIR OUT" >&2; exit 2; }
libs=$1 out=$2
{
  printf 'Quorvane includes the following libraries, linked statically, built from Debian 12 source packages.\r\n\r\n'
  while read -r name version; do printf '  %s %s\r\n' "$name" "$version"; done <"$libs/versions"
  for licence in "$libs"/licenses/*.txt; do
    name=$(basename "$licence" .txt)
    printf '\r\n\r\n===== %s =====\r\n\r\n' "$name"
    sed 's/\r$//; s/$/\r/' "$licence"
  done
} >"$out.tmp"
mv "$out.tmp" "$out"
