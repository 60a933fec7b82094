#!/usr/bin/env bash
# Builds the shipped 32-bit installer (release preset), signs it when a certificate is given, and
# packs the ZIP players download: LumivexPatchInstaller.exe, patch.rpa and README.txt (简体中文 /
# 繁體中文 / English) at the top level. Same exe and patch give the same ZIP bytes.
# Usage: scripts/release.sh [--sign-pfx FILE --sign-password-file FILE [--timestamp URL]]
#                           [--exe FILE] [patch.rpa] [out.zip]
#   --sign-pfx            PKCS#12 file with the code-signing certificate, its key and its CA chain;
#                         the exe gets a SHA-256 Authenticode signature (osslsigncode) and is
#                         verified against that chain before it is packed.
#   --sign-password-file  file whose first line is the PFX password (never put on a command line).
#   --timestamp           RFC 3161 timestamp server; without one the signature stops being valid
#                         when the certificate expires.
#   --exe                 pack (and sign) this exe instead of building the release preset.
#   without patch.rpa a generated SAMPLE patch is packed (it is labelled as such).
#   LUMIVEX_RELEASE_BUILD may name another build directory for the release preset.
# Before packing, the exe is started once under Wine (scripts/start-check.sh); where this machine
# cannot run it, the script says so. Whatever fails (a damaged exe, a wrong password, a signature that
# does not verify, an exe that does not start), nothing is packed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${LUMIVEX_RELEASE_BUILD:-$root/build/release}"
py=/usr/bin/python3
die() { echo "release: $*: nothing packed" >&2; exit 1; }
usage() {
  echo "usage: scripts/release.sh [--sign-pfx FILE --sign-password-file FILE [--timestamp URL]] [--exe FILE] [patch.rpa] [out.zip]" >&2
  die "$1"
}

pfx="" passfile="" timestamp="" exe=""
while [ $# -gt 0 ]; do
  case $1 in
    --sign-pfx|--sign-password-file|--timestamp|--exe)
      [ $# -ge 2 ] && [ -n "$2" ] || usage "$1 needs a value"
      case $1 in
        --sign-pfx) pfx=$2 ;; --sign-password-file) passfile=$2 ;; --timestamp) timestamp=$2 ;; --exe) exe=$2 ;;
      esac
      shift 2 ;;
    --) shift; break ;;
    -?*) usage "unknown option $1" ;;
    *) break ;;
  esac
done
patch="${1:-}"
out="${2:-$build/Lumivex-Orrendale-Patch-1.0.0.zip}"
if [ -n "$pfx" ]; then
  [ -n "$passfile" ] || usage "--sign-pfx needs --sign-password-file"
  [ -r "$pfx" ] || die "cannot read the certificate $pfx"
  [ -r "$passfile" ] || die "cannot read the password file $passfile"
elif [ -n "$passfile$timestamp" ]; then
  usage "--sign-password-file and --timestamp need --sign-pfx"
fi

if [ -z "$exe" ]; then
  cmake --preset release -S "$root" -B "$build" >/dev/null
  cmake --build "$build" --target LumivexPatchInstaller >/dev/null
  exe="$build/LumivexPatchInstaller.exe"
fi

if [ -z "$patch" ]; then
  mkdir -p "$build"
  patch="$build/sample-patch.rpa"
  "$py" - "$patch" <<'PY'
import hashlib, sys
# 4 MiB of deterministic bytes behind an RPA header: a stand-in, not a real patch.
out, block = bytearray(b"RPA-3.0 0000000000000000 42424242\n"), hashlib.sha256(b"sample").digest()
while len(out) < 4 * 1024 * 1024:
    block = hashlib.sha256(block).digest()
    out += block * 64
open(sys.argv[1], "wb").write(bytes(out[:4 * 1024 * 1024]))
PY
  echo "release: no patch.rpa given: packing a generated SAMPLE patch ($patch), not a real patch" >&2
fi
[ -f "$patch" ] && [ -s "$patch" ] || die "$patch is missing or empty"

# No ZIP from an earlier run may stay behind under the name of one that failed.
mkdir -p "$(dirname "$out")"
rm -f "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"; rm -f "$out.partial"' EXIT

# The linker writes the PE checksum, and osslsigncode keeps it right: a mismatch means the file was
# cut short or changed after it was built (osslsigncode signs such a file without complaint).
pe_state() {  # <exe>: prints "signed" or "unsigned"; fails unless it is a whole PE
  "$py" - "$1" 2>/dev/null <<'PY'
import sys, pefile
pe = pefile.PE(sys.argv[1], fast_load=True)
if not pe.verify_checksum():
    sys.exit(1)
print("signed" if pe.OPTIONAL_HEADER.DATA_DIRECTORY[4].Size else "unsigned")
PY
}
[ -f "$exe" ] || die "$exe does not exist"
state=$(pe_state "$exe") || die "$exe is damaged or cut short (its PE checksum does not match its bytes)"

if [ -n "$pfx" ]; then
  # The PFX's CA certificates (and the system's roots) are the chain the signature must verify against.
  openssl pkcs12 -legacy -in "$pfx" -passin "file:$passfile" -nokeys -cacerts -out "$tmp/chain.pem" 2>"$tmp/log" ||
    die "cannot open $pfx with the password in $passfile (wrong password, or not a PKCS#12 file)"
  cat /etc/ssl/certs/ca-certificates.crt >>"$tmp/chain.pem" 2>/dev/null || true
  if ! osslsigncode sign -pkcs12 "$pfx" -readpass "$passfile" -h sha256 ${timestamp:+-ts "$timestamp"} \
       -in "$exe" -out "$tmp/signed.exe" >"$tmp/log" 2>&1; then
    grep -v '^[0-9A-F]*:error:' "$tmp/log" | tail -n 4 >&2
    die "signing failed${timestamp:+ (is the timestamp server $timestamp reachable?)}"
  fi
  if ! osslsigncode verify -CAfile "$tmp/chain.pem" -in "$tmp/signed.exe" >"$tmp/verify" 2>&1 ||
     ! pe_state "$tmp/signed.exe" >/dev/null; then
    grep -i -e 'verif' -e 'error' -e 'CRL' "$tmp/verify" | grep -v '^[0-9A-F]*:error:' | tail -n 5 >&2
    die "the signed exe does not verify against the certificate's chain (the PFX must hold the CA certificates that issued it, and the CA's revocation list must be reachable)"
  fi
  exe="$tmp/signed.exe"
  signer=$(grep -m1 'Subject:' "$tmp/verify" | sed 's/.*Subject: *//')
  expires=$(grep -m1 'notAfter' "$tmp/verify" | sed 's/.*notAfter *: *//')
  if [ -n "$timestamp" ]; then
    echo "release: signed (SHA-256 Authenticode) by $signer, timestamped by $timestamp, verified"
  else
    echo "release: signed (SHA-256 Authenticode) by $signer, verified; no timestamp: the signature stops being valid when the certificate expires ($expires)"
  fi
elif [ "$state" = signed ]; then
  echo "release: no --sign-pfx given: packing $exe with the signature it already carries"
else
  echo "release: no --sign-pfx given: packing the exe unsigned (players see SmartScreen and \"Unknown publisher\")"
fi

# The exe players get must have started once: a window, and exit code 0 when closed.
set +e
"$root/scripts/start-check.sh" "$exe" >"$tmp/start" 2>&1
started=$?
set -e
cat "$tmp/start"
case $started in
  0) ;;
  77) echo "release: packing an exe that could not be started on this machine (see above)" ;;
  *) die "the exe did not start cleanly under Wine" ;;
esac

"$py" "$root/scripts/pack.py" "$exe" "$patch" "$out.partial"
mv -f "$out.partial" "$out"
echo "release: $(file -b "$exe" | cut -d, -f1)"
echo "release: $out ($(stat -c %s "$out") bytes, sha256 $(sha256sum "$out" | cut -d' ' -f1))"
