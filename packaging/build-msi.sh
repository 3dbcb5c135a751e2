#!/usr/bin/env bash
# Builds the Windows Installer package of one edition with wixl from packaging/Quorvane.wxs.
#   build-msi.sh x86|x64 VERSION BINDIR OUT.msi [SIGNATURE.dat]
# BINDIR holds Quorvane.exe, quorvane-sigtool.exe, quorvane-scan.exe, THIRD-PARTY-NOTICES.txt, and signature.dat unless
# SIGNATURE names the database to ship. VERSION has one to three numbers (1.2 is packaged as 1.2.0).
set -euo pipefail
usage="usage: build-msi.sh x86|x64 VERSION BINDIR OUT.msi [SIGNATURE.dat]"
[ $# -ge 4 ] && [ $# -le 5 ] || { echo "$usage" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
arch=$1 version=$2 bindir=$3 out=$4 signature=${5:-$3/signature.dat}
case $arch in x86|x64) ;; *) echo "$usage" >&2; exit 2 ;; esac

# Windows Installer compares major.minor.build: at most 255.255.65535.
IFS=. read -r major minor build extra <<<"$version"
if [ -n "$extra" ] || ! [[ $major =~ ^[0-9]+$ && ${minor:-0} =~ ^[0-9]+$ && ${build:-0} =~ ^[0-9]+$ ]] ||
   [ "$major" -gt 255 ] || [ "${minor:-0}" -gt 255 ] || [ "${build:-0}" -gt 65535 ]; then
  echo "build-msi.sh: version '$version' is not major[.minor[.build]] within 255.255.65535" >&2
  exit 2
fi
msi_version=$major.${minor:-0}.${build:-0}

# wixl takes the files by name from the folder it runs in.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$bindir/Quorvane.exe" "$bindir/quorvane-sigtool.exe" "$bindir/quorvane-scan.exe" "$bindir/THIRD-PARTY-NOTICES.txt" "$stage/"
cp "$signature" "$stage/signature.dat"
cp "$root/README.md" "$root/app/Quorvane.ico" "$stage/"
out=$(realpath -m "$out")
mkdir -p "$(dirname "$out")"
(cd "$stage" && wixl -a "$arch" -D Arch="$arch" -D Version="$msi_version" -o "$out" "$root/packaging/Quorvane.wxs")
