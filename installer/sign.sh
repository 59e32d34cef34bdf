#!/usr/bin/env bash
# Signs a Windows program, uninstaller or setup in place with Authenticode, by osslsigncode.
#   sign.sh CERT.pfx FILE
# VL_SIGN_PASSWORD: the certificate file's password (none when unset).
# VL_TIMESTAMP_URL: the time-stamp server (RFC 3161); "none" signs without a time stamp.
# A time stamp keeps the signature valid after the certificate has expired. Where no
# server answers (no network) the file is signed without one, and the script says so.
set -euo pipefail
cert="$1" file="$2"
tsa="${VL_TIMESTAMP_URL:-http://timestamp.digicert.com}"
signed="$file.signing"
sign() {
  rm -f "$signed"
  timeout 60 osslsigncode sign -pkcs12 "$cert" -pass "${VL_SIGN_PASSWORD:-}" -h sha256 \
    -n "Обновление прошивки Вельмарк" "$@" -in "$file" -out "$signed" >/dev/null
}
if [ "$tsa" = none ] || ! sign -ts "$tsa" 2>/dev/null; then
  [ "$tsa" = none ] || echo "sign.sh: no time stamp from $tsa: $(basename "$file") signed without one" >&2
  sign
fi
mv "$signed" "$file"
