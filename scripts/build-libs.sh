#!/usr/bin/env bash
# Builds static liblzma, bzip2 and libarchive from Debian's source packages for one target, once per
# machine, into a cache keyed by the source versions; prints the install prefix.
#   build-libs.sh TARGET    TARGET: i686 | x86_64 (MinGW) | native (clang, ASan/UBSan)
# A half-finished earlier build is never used: each build goes to a temporary folder that is renamed
# when complete.
set -euo pipefail
target=${1:?usage: build-libs.sh i686|x86_64|native}
case $target in i686|x86_64|native) ;; *) echo "unknown target: $target" >&2; exit 2 ;; esac

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

need_src=()
for p in dpkg-dev libz-mingw-w64-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need_src+=("$p")
done
if [ ${#need_src[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${need_src[@]}" >&2
fi

srclist=/etc/apt/sources.list.d/quorvane-src.sources
if [ ! -e "$srclist" ]; then
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    | "${sudo_cmd[@]}" tee "$srclist" >/dev/null
  "${sudo_cmd[@]}" apt-get update -qq >&2
fi

version_of() { apt-cache showsrc "$1" | awk '/^Version:/ {print $2}' | sort -V | tail -1; }
v_arch=$(version_of libarchive)
v_xz=$(version_of xz-utils)
v_bz=$(version_of bzip2)
key="libarchive-${v_arch}_xz-${v_xz}_bzip2-${v_bz}"
cache=${XDG_CACHE_HOME:-$HOME/.cache}/quorvane/libs/$key
prefix=$cache/$target
if [ -e "$prefix/.complete" ]; then echo "$prefix"; exit 0; fi

mkdir -p "$cache"
src=$cache/src
if [ ! -e "$src/.complete" ]; then
  tmp_src=$(mktemp -d "$cache/src.tmp.XXXXXX")
  (cd "$tmp_src" && apt-get source -qq libarchive xz-utils bzip2 >&2)
  touch "$tmp_src/.complete"
  rm -rf "$src"
  mv "$tmp_src" "$src" || rm -rf "$tmp_src"
fi
dir_of() { find "$src" -maxdepth 1 -mindepth 1 -type d -name "$1-*" | head -1; }
d_arch=$(dir_of libarchive)
d_xz=$(dir_of xz-utils)
d_bz=$(dir_of bzip2)

work=$(mktemp -d "$cache/$target.tmp.XXXXXX")
trap 'rm -rf "$work"' EXIT
out=$work/prefix
mkdir -p "$out/lib" "$out/include" "$out/licenses"
jobs=2

case $target in
  native)
    cc=clang
    cflags="-O1 -g -fsanitize=address,undefined -fno-omit-frame-pointer"
    host_args=()
    ar=ar
    ;;
  *)
    triplet=$target-w64-mingw32
    cc=$triplet-gcc-posix
    cflags="-O2"
    host_args=(--host="$triplet")
    ar=$triplet-ar
    ;;
esac

# zlib: MinGW's from Debian; natively, the system's (uninstrumented, it is not the target of fuzzing).
if [ "$target" = native ]; then
  zlib_inc=/usr/include
  zlib_lib=$(find /usr/lib -name libz.a | head -1)
else
  zlib_inc=/usr/$triplet/include
  zlib_lib=/usr/$triplet/lib/libz.a
fi

# liblzma
(
  mkdir -p "$work/xz" && cd "$work/xz"
  CC=$cc CFLAGS=$cflags "$d_xz/configure" "${host_args[@]}" --prefix="$out" \
    --enable-static --disable-shared --disable-xz --disable-xzdec --disable-lzmadec \
    --disable-lzmainfo --disable-lzma-links --disable-scripts --disable-doc --disable-nls >&2
  make -j$jobs -C src/liblzma install >&2
)

# bzip2 has no cross build: its library sources, compiled and archived.
(
  mkdir -p "$work/bz" && cd "$work/bz"
  for f in blocksort huffman crctable randtable compress decompress bzlib; do
    $cc $cflags -D_FILE_OFFSET_BITS=64 -c "$d_bz/$f.c" -o "$f.o"
  done
  $ar rcs "$out/lib/libbz2.a" ./*.o
  cp "$d_bz/bzlib.h" "$out/include/"
)

# libarchive
cmake_args=(
  -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$out"
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="$cflags"
  -DBUILD_SHARED_LIBS=OFF -DENABLE_TAR=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_TEST=OFF
  -DENABLE_UNZIP=OFF
  -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF -DENABLE_LIBB2=OFF -DENABLE_LZ4=OFF
  -DENABLE_LZO=OFF -DENABLE_ZSTD=OFF -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF -DENABLE_PCREPOSIX=OFF
  -DENABLE_PCRE2POSIX=OFF -DENABLE_LIBGCC=OFF -DENABLE_ACL=OFF -DENABLE_XATTR=OFF -DENABLE_ICONV=OFF
  -DENABLE_CNG=OFF -DENABLE_WERROR=OFF
  -DZLIB_INCLUDE_DIR="$zlib_inc" -DZLIB_LIBRARY="$zlib_lib"
  -DBZIP2_INCLUDE_DIR="$out/include" -DBZIP2_LIBRARIES="$out/lib/libbz2.a"
  -DLIBLZMA_INCLUDE_DIR="$out/include" -DLIBLZMA_LIBRARY="$out/lib/liblzma.a"
  -DPOSIX_REGEX_LIB=NONE
)
if [ "$target" != native ]; then
  cmake_args+=(
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_FIND_ROOT_PATH="/usr/$triplet"
    -DCMAKE_RC_COMPILER="$triplet-windres"
    -DZLIB_WINAPI:BOOL=OFF -DZLIB_WINAPI_WITH_LIB:INTERNAL="$zlib_lib"
  )
fi
cmake -S "$d_arch" -B "$work/la" "${cmake_args[@]}" >&2
cmake --build "$work/la" -j$jobs >&2
cmake --install "$work/la" >&2

cp "$d_arch/COPYING" "$out/licenses/libarchive-$v_arch.txt"
cp "$d_xz/COPYING" "$out/licenses/xz-utils-$v_xz.txt"
cp "$d_bz/LICENSE" "$out/licenses/bzip2-$v_bz.txt"
touch "$out/.complete"
rm -rf "$prefix"
mv "$out" "$prefix"
echo "$prefix"
