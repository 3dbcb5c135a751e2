#!/usr/bin/env bash
# Installs what building, running and testing need on Debian or Ubuntu.
# Does nothing when everything is already there; uses sudo when not root.
set -euo pipefail

packages=(
  cmake ninja-build make ccache
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  googletest
  wine wine32 wine64
  xvfb xauth x11-utils openbox imagemagick
  e2fsprogs procps util-linux python3
  clang libclang-rt-14-dev libssl-dev
  clamav clamav-testfiles
  wixl osslsigncode openssl zip 7zip
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  name=$p
  [ "$p" = wine32 ] && name=wine32:i386
  if ! dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
"${sudo_cmd[@]}" apt-get update -qq
# clamav brings clamav-freshclam, whose service would fetch signatures from the network: nothing
# here needs it, so no service may start while installing, and it stays disabled.
policy=/usr/sbin/policy-rc.d
made_policy=no
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | "${sudo_cmd[@]}" tee "$policy" >/dev/null
  "${sudo_cmd[@]}" chmod +x "$policy"
  made_policy=yes
fi
status=0
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" || status=$?
[ "$made_policy" = yes ] && "${sudo_cmd[@]}" rm -f "$policy"
if command -v systemctl >/dev/null && [ -d /run/systemd/system ]; then
  "${sudo_cmd[@]}" systemctl disable --now clamav-freshclam >/dev/null 2>&1 || true
fi
exit $status
