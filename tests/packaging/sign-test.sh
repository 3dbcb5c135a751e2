#!/usr/bin/env bash
# Signs the program and an MSI built from it with scripts/sign.sh and a throwaway self-signed
# code-signing certificate, checks both with osslsigncode verify, and that a changed byte in the
# program's code is caught; also how sign.sh handles no certificate, a wrong password and its key.
#   sign-test.sh SOURCE BUILD x86|x64 OBJDUMP
# Prints one "ok"/"not ok" line per check and exits 1 when a check failed.
set -euo pipefail
root=$(cd "$1" && pwd) build=$(cd "$2" && pwd) arch=$3 objdump=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sign=$root/scripts/sign.sh

. "$(dirname "${BASH_SOURCE[0]}")/check.sh"
succeeds() { "$@" >"$work/last.log" 2>&1; }
fails() { ! "$@" >"$work/last.log" 2>&1; }
verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1"; }
equals() { [ "$1" = "$2" ]; }
empty_folder() { [ -z "$(ls -A "$1")" ]; }

# A throwaway certificate for code signing and its PFX, in base64 as a build server would get it.
password="test-$RANDOM-$RANDOM"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quorvane test signing" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
PFX_PASSWORD=$password openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" \
  -passout env:PFX_PASSWORD -out "$work/cert.pfx"
pfx_base64=$(base64 -w0 "$work/cert.pfx")

mkdir -p "$work/bin" "$work/tmp"
cp "$build/Quorvane.exe" "$build/quorvane-sigtool.exe" "$build/quorvane-scan.exe" "$build/THIRD-PARTY-NOTICES.txt" "$work/bin/"
head -c 1048576 /dev/urandom >"$work/signature.dat"

# --- No certificate: nothing is signed, and it says so.
unsigned=$work/unsigned.exe
cp "$work/bin/Quorvane.exe" "$unsigned"
check "without a certificate sign.sh exits with 0" succeeds env -u QV_SIGN_PFX_BASE64 "$sign" "$unsigned"
check "without a certificate it says that nothing was signed" grep -q 'nothing signed' "$work/last.log"
check "without a certificate the file is unchanged" cmp -s "$unsigned" "$build/Quorvane.exe"

# --- Signing as the release does: the programs first, then the MSI built from them.
signing_env=(env TMPDIR="$work/tmp" QV_SIGN_PFX_BASE64="$pfx_base64" QV_SIGN_PFX_PASSWORD="$password")
check "sign.sh signs the programs" succeeds "${signing_env[@]}" "$sign" "$work/bin/Quorvane.exe" "$work/bin/quorvane-sigtool.exe" \
  "$work/bin/quorvane-scan.exe"
"$root/packaging/build-msi.sh" "$arch" 1.0 "$work/bin" "$work/Quorvane.msi" "$work/signature.dat"
check "sign.sh signs the MSI" succeeds "${signing_env[@]}" "$sign" "$work/Quorvane.msi"
check "the key file is gone after signing" empty_folder "$work/tmp"
check "verify accepts the signed program" succeeds verify "$work/bin/Quorvane.exe"
check "verify accepts the signed tool" succeeds verify "$work/bin/quorvane-sigtool.exe"
check "verify accepts the signed scanner" succeeds verify "$work/bin/quorvane-scan.exe"
check "verify accepts the signed MSI" succeeds verify "$work/Quorvane.msi"
check "verify refuses the unsigned program" fails verify "$unsigned"

# --- One changed byte inside the code section breaks the signature.
read -r text_size text_offset < <("$objdump" -h "$work/bin/Quorvane.exe" | awk '$2 == ".text" { print $3, $6 }')
at=$((16#$text_offset + 16#$text_size / 2))
cp "$work/bin/Quorvane.exe" "$work/changed.exe"
byte=$(od -An -tu1 -j "$at" -N1 "$work/changed.exe" | tr -d ' ')
printf "$(printf '\\%03o' $(((byte + 1) % 256)))" | dd of="$work/changed.exe" bs=1 seek="$at" conv=notrunc status=none
check "the copy differs in one byte of .text" equals "$(cmp -l "$work/bin/Quorvane.exe" "$work/changed.exe" | wc -l)" 1
check "verify refuses the program with a changed byte" fails verify "$work/changed.exe"
check "verify reports the digest mismatch" grep -qi 'mismatch' "$work/last.log"

# --- A wrong password: a failure, the file untouched, no key left behind.
cp "$build/Quorvane.exe" "$work/wrong.exe"
check "a wrong password fails" fails env TMPDIR="$work/tmp" QV_SIGN_PFX_BASE64="$pfx_base64" \
  QV_SIGN_PFX_PASSWORD="wrong" "$sign" "$work/wrong.exe"
check "a wrong password leaves the file unchanged" cmp -s "$work/wrong.exe" "$build/Quorvane.exe"
check "a wrong password leaves no key file" empty_folder "$work/tmp"

# --- What osslsigncode gets: the password on standard input only, the key in a private file.
mkdir -p "$work/spy"
cat >"$work/spy/osslsigncode" <<'EOF'
#!/usr/bin/env bash
# Records the command line, standard input and the key file's mode, then copies the input.
printf '%s\n' "$@" >"$SPY/args"
cat >"$SPY/stdin"
while [ $# -gt 0 ]; do
  case $1 in
    -pkcs12) stat -c %a "$2" >"$SPY/pfx-mode"; stat -c %a "$(dirname "$2")" >"$SPY/dir-mode" ;;
    -out) out=$2 ;;
    -in) in=$2 ;;
  esac
  shift
done
cp "$in" "$out"
EOF
chmod +x "$work/spy/osslsigncode"
cp "$build/Quorvane.exe" "$work/spied.exe"
check "sign.sh runs with a recording osslsigncode" succeeds env PATH="$work/spy:$PATH" SPY="$work/spy" \
  TMPDIR="$work/tmp" QV_SIGN_PFX_BASE64="$pfx_base64" QV_SIGN_PFX_PASSWORD="$password" \
  QV_SIGN_TIMESTAMP_URL=http://127.0.0.1:9/tsa "$sign" "$work/spied.exe"
check "the password is not on the command line" fails grep -qF -- "$password" "$work/spy/args"
check "the password comes on standard input" equals "$(cat "$work/spy/stdin")" "$password"
check "the password is read from /dev/stdin" grep -qx -- /dev/stdin "$work/spy/args"
check "the key file is readable by its owner only" equals "$(cat "$work/spy/pfx-mode")" 600
check "the key folder is private" equals "$(cat "$work/spy/dir-mode")" 700
check "the timestamp server is passed on" grep -qx -- http://127.0.0.1:9/tsa "$work/spy/args"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
