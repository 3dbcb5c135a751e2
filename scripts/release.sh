#!/usr/bin/env bash
# The release command: builds both editions (Release), runs every test (scripts/test.sh), signs the
# programs and then the MSIs built from them when a certificate is given (scripts/sign.sh), and
# writes into dist/:
#   Quorvane-<version>-x86.msi, Quorvane-<version>-x64.msi      the installers
#   Quorvane-<version>-x86.zip, Quorvane-<version>-x64.zip      portable: the program, signature.dat,
#                                                               the two tools, the README and the
#                                                               third-party notices
#   SHA256SUMS
# QV_BUILD_DIR, QV_BUILD64_DIR and QV_DIST_DIR choose other folders.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_BUILD_DIR:-$root/build}
build64=${QV_BUILD64_DIR:-$root/build64}
dist=${QV_DIST_DIR:-$root/dist}
export QV_BUILD_DIR=$build QV_BUILD64_DIR=$build64

start=$SECONDS
echo "== building both editions and running every test"
"$root/scripts/test.sh"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build64/CMakeCache.txt")
[ -n "$version" ] || { echo "release.sh: no project version in $build64/CMakeCache.txt" >&2; exit 1; }

# The demo database is data, the same for both editions: it is built by the edition the machine
# can run (the 64-bit one always; the 32-bit one where 32-bit programs run).
echo "== demo signature.dat"
cmake --build "$build64" --target demo_signature
signature_x64=$build64/signature.dat
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  cmake --build "$build" --target demo_signature
  signature_x86=$build/signature.dat
else
  echo "This machine cannot run 32-bit programs: the 32-bit edition ships the 64-bit build's demo database."
  signature_x86=$signature_x64
fi

rm -rf "$dist"
mkdir -p "$dist"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
for arch in x86 x64; do
  if [ "$arch" = x86 ]; then tree=$build signature=$signature_x86; else tree=$build64 signature=$signature_x64; fi
  name=Quorvane-$version-$arch
  mkdir -p "$stage/$name"
  cp "$tree/Quorvane.exe" "$tree/quorvane-sigtool.exe" "$tree/quorvane-scan.exe" "$root/README.md" \
    "$tree/THIRD-PARTY-NOTICES.txt" "$stage/$name/"
  cp "$signature" "$stage/$name/signature.dat"
  echo "== $name: programs"
  "$root/scripts/sign.sh" "$stage/$name/Quorvane.exe" "$stage/$name/quorvane-sigtool.exe" "$stage/$name/quorvane-scan.exe"
  echo "== $name: installer"
  "$root/packaging/build-msi.sh" "$arch" "$version" "$stage/$name" "$dist/$name.msi"
  "$root/scripts/sign.sh" "$dist/$name.msi"
  (cd "$stage" && zip -q -r -X "$dist/$name.zip" "$name")
done
(cd "$dist" && sha256sum -- *.msi *.zip >SHA256SUMS)

echo "== dist/ ($((SECONDS - start)) s)"
(cd "$dist" && ls -l -- *)
