#!/usr/bin/env bash
# Builds static liblzma, bzip2 and libarchive from Debian's source packages, once per machine, into
# a cache keyed by the three source versions, and prints each install folder.
#   build-libs.sh [i686|x86_64|native|all]     (default: all)
# i686 and x86_64 use the MinGW-w64 -posix compilers and Debian's MinGW zlib; native uses clang with
# ASan, UBSan and fuzzer coverage, and the system's zlib. Each build runs in a temporary folder that
# is renamed when complete, so a half-finished build is never taken.
set -euo pipefail

usage="usage: build-libs.sh [i686|x86_64|native|all]"
case ${1:-all} in
  all) targets=(x86_64 i686 native) ;;
  i686|x86_64|native) targets=("$1") ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
root=${XDG_CACHE_HOME:-$HOME/.cache}/quorvane/libs
jobs=${QV_JOBS:-2}
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# A deb-src twin of the machine's bookworm entries, in the format they use, unless one exists.
add_deb_src() {
  local d=/etc/apt
  if grep -qsE '^[[:space:]]*deb-src[[:space:]].*bookworm' "$d/sources.list" "$d"/sources.list.d/*.list ||
     grep -qsE '^Types:.*deb-src' "$d"/sources.list.d/*.sources; then
    return 0
  fi
  local entry
  if ls "$d"/sources.list.d/*.sources >/dev/null 2>&1; then
    entry=$(awk -v RS= -v ORS='\n\n' '/Types:[^\n]*deb/ && /Suites:[^\n]*bookworm/ {
      sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$d"/sources.list.d/*.sources)
    [ -n "$entry" ] && printf '%s' "$entry" | "${sudo_cmd[@]}" tee "$d/sources.list.d/quorvane-src.sources" >/dev/null
  else
    entry=$(sed -n 's/^[[:space:]]*deb[[:space:]]\(.*bookworm.*\)/deb-src \1/p' "$d/sources.list" 2>/dev/null)
    [ -n "$entry" ] && printf '%s\n' "$entry" | "${sudo_cmd[@]}" tee "$d/sources.list.d/quorvane-src.list" >/dev/null
  fi
  if [ -z "$entry" ]; then echo "build-libs.sh: no Debian bookworm entry to derive deb-src from" >&2; exit 1; fi
  "${sudo_cmd[@]}" apt-get update -qq >&2
}

ensure_packages() {
  local missing=() p
  for p in dpkg-dev libz-mingw-w64-dev zlib1g-dev clang; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] && return 0
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >&2
}

ensure_packages
add_deb_src

# The versions apt-get source would fetch now, from the names of their .dsc files. Asking apt takes
# seconds, so the answer is kept until its source indexes change.
declare -A version
resolve_versions() {
  apt-get source --print-uris -qq libarchive xz-utils bzip2 |
    awk '$2 ~ /\.dsc$/ { sub(/\.dsc$/, "", $2); split($2, f, "_"); print f[1], f[2] }'
}
stamp=$(stat -c '%n %Y' /var/lib/apt/lists/*_Sources* 2>/dev/null | md5sum | cut -c1-32)
memo=$root/.versions-$stamp
if [ ! -s "$memo" ]; then
  mkdir -p "$root"
  rm -f "$root"/.versions-*
  resolve_versions >"$memo.tmp" && mv "$memo.tmp" "$memo"
fi
while read -r p v; do version[$p]=$v; done <"$memo"
for p in libarchive xz-utils bzip2; do
  [ -n "${version[$p]:-}" ] || { echo "build-libs.sh: apt-get source knows no $p" >&2; rm -f "$memo"; exit 1; }
done
# Our changes to the sources, named in the key so that a change rebuilds.
patches=7z-entries-1m
key="libarchive-${version[libarchive]}_xz-${version[xz-utils]}_bzip2-${version[bzip2]}_$patches"
cache=$root/$key

done_all=yes
for t in "${targets[@]}"; do [ -f "$cache/$t/versions" ] || done_all=no; done
if [ $done_all = yes ]; then
  for t in "${targets[@]}"; do echo "$cache/$t"; done
  exit 0
fi

mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9
# Under the lock, any temporary folder is what an interrupted run left behind.
rm -rf "$cache"/*.tmp.*

fetch_sources() {
  [ -f "$cache/src/.complete" ] && return 0
  local tmp
  tmp=$(mktemp -d "$cache/src.tmp.XXXXXX")
  (cd "$tmp" && apt-get source -qq libarchive xz-utils bzip2 >&2)
  patch_sources "$tmp"
  touch "$tmp/.complete"
  rm -rf "$cache/src"
  mv "$tmp" "$cache/src"
}

# libarchive's 7-Zip reader sizes its tables from the header's counts, up to 100 million entries:
# a 267-byte file made it allocate 5.7 GB and walk the entries for seconds. One million entries is
# a hundred times the walk's default member limit.
patch_sources() {
  local f
  f=$(find "$1" -path '*/libarchive/archive_read_support_format_7zip.c' | head -1)
  sed -i 's/^\(#define[[:space:]]\+UMAX_ENTRY[[:space:]]\+ARCHIVE_LITERAL_ULL(\)100000000)/\11000000)/' "$f"
  grep -q 'UMAX_ENTRY[[:space:]]\+ARCHIVE_LITERAL_ULL(1000000)' "$f" ||
    { echo "build-libs.sh: the 7-Zip entry limit was not found in $f" >&2; exit 1; }
}

src_dir() { find "$cache/src" -maxdepth 1 -mindepth 1 -type d -name "$1-*" | head -1; }

build_lzma() {
  mkdir -p "$work/xz"
  # xz 5.4.1's lzma_code adds a zero offset to a null next_in when libarchive passes no input
  # in a .xz stream; UBSan's pointer-overflow check would stop every .xz file at once.
  local flags=$cflags
  [ "$target" = native ] && flags+=" -fno-sanitize=pointer-overflow"
  (cd "$work/xz" && CC=$cc CFLAGS=$flags "$(src_dir xz-utils)/configure" "${host_args[@]}" \
    --prefix="$out" --enable-static --disable-shared --disable-xz --disable-xzdec --disable-lzmadec \
    --disable-lzmainfo --disable-lzma-links --disable-scripts --disable-doc --disable-nls >&2)
  make -C "$work/xz/src/liblzma" -j"$jobs" install >&2
  # Both name the temporary folder, which is renamed.
  rm -rf "$out"/lib/*.la "$out/lib/pkgconfig"
}

# bzip2 has no cross build: its seven library sources, compiled and archived.
build_bzip2() {
  local s f
  s=$(src_dir bzip2)
  mkdir -p "$work/bz"
  for f in blocksort huffman crctable randtable compress decompress bzlib; do
    $cc $cflags -c "$s/$f.c" -o "$work/bz/$f.o"
  done
  $ar rcs "$out/lib/libbz2.a" "$work"/bz/*.o
  cp "$s/bzlib.h" "$out/include/"
}

build_libarchive() {
  local s args=() flags=$cflags
  s=$(src_dir libarchive)
  # libarchive 3.6.2 rolls a null client buffer back by zero bytes after a seek (archive_read.c,
  # __archive_read_filter_ahead); UBSan's pointer-overflow check would stop every seeking read.
  [ "$target" = native ] && flags+=" -fno-sanitize=pointer-overflow"
  args=(
    -G Ninja -DCMAKE_BUILD_TYPE="$build_type" -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="$flags"
    -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF -DENABLE_LIBB2=OFF -DENABLE_LZ4=OFF
    -DENABLE_LZO=OFF -DENABLE_ZSTD=OFF -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF -DENABLE_PCREPOSIX=OFF
    -DENABLE_LIBGCC=OFF -DENABLE_ACL=OFF -DENABLE_XATTR=OFF -DENABLE_ICONV=OFF -DENABLE_CNG=OFF
    -DENABLE_TAR=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_TEST=OFF -DENABLE_WERROR=OFF
    -DZLIB_INCLUDE_DIR="$zlib_inc" -DZLIB_LIBRARY="$zlib_lib"
    -DBZIP2_INCLUDE_DIR="$out/include" -DBZIP2_LIBRARIES="$out/lib/libbz2.a"
    -DLIBLZMA_INCLUDE_DIR="$out/include" -DLIBLZMA_LIBRARY="$out/lib/liblzma.a"
    -DPOSIX_REGEX_LIB=NONE
  )
  if [ "$target" != native ]; then
    args+=(
      -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR="$target"
      -DCMAKE_RC_COMPILER="$triplet-windres" -DCMAKE_FIND_ROOT_PATH="/usr/$triplet;$out"
      -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY
      -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY
      -DZLIB_WINAPI:BOOL=OFF -DZLIB_WINAPI_WITH_LIB:INTERNAL="$zlib_lib"
    )
  fi
  cmake -S "$s" -B "$work/la" "${args[@]}" >&2
  # Only the static library: the DLL and the programs would double the work.
  cmake --build "$work/la" -j"$jobs" --target archive_static >&2
  cp "$(find "$work/la/libarchive" -maxdepth 1 -name 'libarchive*.a' | head -1)" "$out/lib/libarchive.a"
  cp "$s/libarchive/archive.h" "$s/libarchive/archive_entry.h" "$out/include/"
}

# Licence texts and versions, for the packages' third-party notices.
write_notices() {
  mkdir -p "$out/licenses"
  cp "$(src_dir libarchive)/COPYING" "$out/licenses/libarchive.txt"
  cp "$(src_dir xz-utils)/COPYING" "$out/licenses/xz-utils.txt"
  cp "$(src_dir bzip2)/LICENSE" "$out/licenses/bzip2.txt"
  cp "$zlib_copyright" "$out/licenses/zlib.txt"
  {
    echo "libarchive ${version[libarchive]}, with the 7-Zip reader's entry count capped at 1,000,000"
    echo "xz-utils ${version[xz-utils]}"
    echo "bzip2 ${version[bzip2]}"
    echo "zlib $zlib_version"
  } >"$out/versions"
}

build_target() {
  target=$1
  local dest=$cache/$target
  [ -f "$dest/versions" ] && return 0
  work=$(mktemp -d "$cache/$target.tmp.XXXXXX")
  out=$work/prefix
  mkdir -p "$out/lib" "$out/include"
  if [ "$target" = native ]; then
    triplet= cc=clang ar=ar host_args=()
    build_type=
    cflags="-O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all"
    cflags+=" -fsanitize=fuzzer-no-link"
    # The system's zlib, uninstrumented: the fuzzing aims at libarchive's parsers, and zlib's own
    # inflate is fuzzed upstream; its copies into our buffers still go through ASan's memcpy.
    zlib_inc=/usr/include
    zlib_lib=/usr/lib/$(gcc -dumpmachine 2>/dev/null || clang -dumpmachine)/libz.a
    zlib_copyright=/usr/share/doc/zlib1g-dev/copyright
    zlib_version=$(dpkg-query -W -f='${Version}' zlib1g-dev)
    [ -f "$zlib_lib" ] || zlib_lib=$(find /usr/lib -name libz.a | head -1)
  else
    triplet=$target-w64-mingw32 cc=$target-w64-mingw32-gcc-posix ar=$target-w64-mingw32-ar
    host_args=(--host="$triplet")
    build_type=Release cflags=-O2
    zlib_inc=/usr/$triplet/include
    zlib_lib=/usr/$triplet/lib/libz.a
    zlib_copyright=/usr/share/doc/libz-mingw-w64-dev/copyright
    zlib_version=$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)
  fi
  build_lzma
  build_bzip2
  build_libarchive
  cp "$zlib_lib" "$out/lib/libz.a"
  write_notices
  rm -rf "$dest"
  mv "$out" "$dest"
  rm -rf "$work"
}

cleanup() { if [ -n "${work:-}" ]; then rm -rf "$work"; fi; }
trap cleanup EXIT
fetch_sources
for t in "${targets[@]}"; do
  build_target "$t"
  echo "$cache/$t"
done
