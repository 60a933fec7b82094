#!/usr/bin/env bash
# scripts/release.sh on the shipped exe: signed for a throwaway CA and verified, exact contents, the
# same bytes when packed twice, and refusals with a message and no ZIP. Usage: release_test.sh <exe>
set -euo pipefail
shipped=$1
release=$LUMIVEX_SOURCE/scripts/release.sh
export LUMIVEX_HARNESS=$LUMIVEX_BUILD  # the start check runs in this run's Wine prefix and display
rm -rf "$LUMIVEX_BUILD/release-check"
mkdir -p "$LUMIVEX_BUILD/release-check"
cd "$LUMIVEX_BUILD/release-check"
fail() { echo "FAIL: $*"; exit 1; }
head -c 300000 /dev/urandom >patch.rpa
echo 'correct horse' >pass
echo 'wrong horse' >badpass
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj /CN=CA 2>/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -keyout sign.key -out sign.pem -days 2 -subj /CN=Signer \
  -CA ca.pem -CAkey ca.key -addext extendedKeyUsage=codeSigning -addext basicConstraints=CA:FALSE 2>/dev/null
openssl pkcs12 -export -inkey sign.key -in sign.pem -certfile ca.pem -passout file:pass -out sign.pfx

"$release" --sign-pfx sign.pfx --sign-password-file pass --exe "$shipped" patch.rpa one.zip >log 2>&1 ||
  { cat log; fail "release"; }
[ "$(unzip -Z1 one.zip | tr '\n' ' ')" = "LumivexPatchInstaller.exe patch.rpa README.txt " ] || fail "contents"
unzip -q one.zip -d one
cmp patch.rpa one/patch.rpa || fail "the patch"
osslsigncode verify -CAfile ca.pem -in one/LumivexPatchInstaller.exe >verify 2>&1 || { cat verify; fail "signature"; }
"$release" --exe one/LumivexPatchInstaller.exe patch.rpa two.zip >log 2>&1 || { cat log; fail "packing again"; }
cmp one.zip two.zip || fail "the same exe and patch packed twice differ"

cp "$shipped" flipped.exe
middle=$(($(stat -c %s flipped.exe) / 2))
byte=$(od -An -tu1 -j "$middle" -N1 flipped.exe | tr -d ' ')
printf "$(printf '\\%03o' $((byte ^ 1)))" | dd of=flipped.exe bs=1 seek="$middle" conv=notrunc status=none
while IFS='|' read -r what message args; do
  eval "set -- $args"
  ! "$release" "$@" refused.zip >log 2>&1 || fail "$what: released"
  grep -q "$message.*nothing packed" log || { cat log; fail "$what: no message naming the cause"; }
  [ ! -e refused.zip ] || fail "$what: a ZIP was written"
done <<ROWS
missing patch|missing or empty|--exe "$shipped" missing.rpa
wrong password|wrong password|--sign-pfx sign.pfx --sign-password-file badpass --exe "$shipped" patch.rpa
one bit flipped|cut short|--exe flipped.exe patch.rpa
an exe that shows no window|did not start|--exe "$LUMIVEX_BUILD/tests/stand_in.exe" patch.rpa
ROWS
echo "release ok"
