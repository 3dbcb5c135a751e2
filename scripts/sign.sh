#!/usr/bin/env bash
# Signs Windows programs and installer packages in place with osslsigncode (Authenticode, SHA-256),
# in the order given: sign the programs before building the packages that hold them.
#   sign.sh FILE...
# It signs only when a code-signing certificate is given through the environment:
#   QV_SIGN_PFX_BASE64      the certificate with its private key, a PKCS#12 (.pfx) file in base64
#   QV_SIGN_PFX_PASSWORD    its password; osslsigncode reads it from standard input, never from
#                           its command line
#   QV_SIGN_TIMESTAMP_URL   an RFC 3161 timestamp server (optional)
# Without a certificate it signs nothing, says so and exits with 0.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: sign.sh FILE..." >&2; exit 2; }
if [ -z "${QV_SIGN_PFX_BASE64:-}" ]; then
  echo "sign.sh: no certificate given (QV_SIGN_PFX_BASE64 is not set): nothing signed"
  exit 0
fi
for file in "$@"; do
  [ -f "$file" ] || { echo "sign.sh: $file: no such file" >&2; exit 2; }
done

# The key exists on disk only in a private folder, and only while this script runs.
old_umask=$(umask)
umask 077
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s' "$QV_SIGN_PFX_BASE64" | base64 -d >"$work/signing.pfx" ||
  { echo "sign.sh: QV_SIGN_PFX_BASE64 is not valid base64" >&2; exit 1; }
umask "$old_umask"

timestamp=()
[ -z "${QV_SIGN_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$QV_SIGN_TIMESTAMP_URL")
for file in "$@"; do
  signed=$work/signed
  printf '%s' "${QV_SIGN_PFX_PASSWORD:-}" |
    osslsigncode sign -pkcs12 "$work/signing.pfx" -readpass /dev/stdin -h sha256 -n Quorvane \
      "${timestamp[@]}" -in "$file" -out "$signed" >/dev/null ||
    { echo "sign.sh: signing $file failed" >&2; exit 1; }
  # Copied over the original, which keeps its permissions.
  cat "$signed" >"$file"
  rm -f "$signed"
  echo "signed $file"
done
