#!/usr/bin/env bash
# The players' ZIP: exact top-level contents, the shipped exe is a 32-bit GUI PE, the patch inside is the given
# file byte for byte, building twice and packing a signed exe twice give identical bytes. Signed with a throwaway
# CA's code-signing certificate, the exe in the ZIP verifies for that chain and the signed x86_64 build still
# starts under Wine; every kind of failure packs nothing.
set -euo pipefail
src=${LUMIVEX_SOURCE:?}
work=${LUMIVEX_BUILD:?}/release-check
rm -rf "$work/out" && mkdir -p "$work/out/ca"
fail() { echo "FAIL: $*"; exit 1; }
release() { "$src/scripts/release.sh" "$@" > "$work/out/log" 2>&1 || { cat "$work/out/log"; fail "release.sh $* failed"; }; }

head -c 1500000 /dev/urandom > "$work/out/patch.rpa"
export LUMIVEX_RELEASE_BUILD="$work/build-a" LUMIVEX_HARNESS="${LUMIVEX_BUILD}"
release "$work/out/patch.rpa" "$work/out/one.zip"
grep -q SAMPLE "$work/out/log" && fail "a given patch was reported as a sample"
grep -q "packing the exe unsigned" "$work/out/log" || fail "an unsigned pack was not announced"
grep -q "start check: the window appeared" "$work/out/log" || fail "the shipped exe was not started before packing"

# A second build from scratch links the same bytes (no timestamps, no build paths).
rm -rf "$work/build-b"
cmake --preset release -B "$work/build-b" -S "$src" >/dev/null
cmake --build "$work/build-b" --target LumivexPatchInstaller >/dev/null
cmp "$work/build-a/LumivexPatchInstaller.exe" "$work/build-b/LumivexPatchInstaller.exe" || fail "two builds differ"

exe="$work/build-a/LumivexPatchInstaller.exe"
/usr/bin/python3 - "$work/out/one.zip" "$work/out/patch.rpa" "$exe" <<'PY'
import sys, zipfile
zip_path, patch, exe = sys.argv[1:]
z = zipfile.ZipFile(zip_path)
names = [(i.filename, i.date_time) for i in z.infolist()]
assert names == [(n, (1980, 1, 1, 0, 0, 0)) for n in ["LumivexPatchInstaller.exe", "patch.rpa", "README.txt"]], names
assert z.testzip() is None
assert z.read("patch.rpa") == open(patch, "rb").read(), "patch.rpa differs from the given file"
assert z.read("LumivexPatchInstaller.exe") == open(exe, "rb").read(), "exe differs from the build"
readme = z.read("README.txt")
assert readme.startswith(b"\xef\xbb\xbf"), "readme without UTF-8 byte-order mark"
text = readme.decode("utf-8")
for needle in ["简体中文", "繁體中文", "English", "解压", "解壓縮", "Extract everything",
               "LumivexPatchInstaller.exe", "patch.rpa"]:
    assert needle in text, needle
assert "\r\n" in text and "\n" not in text.replace("\r\n", ""), "readme line ends are not CRLF"
PY
kind=$(file -b "$exe")
case "$kind" in "PE32 executable (GUI) Intel 80386"*) ;; *) fail "exe inside is: $kind" ;; esac

# Without a patch a generated sample is packed, and the script says so.
release "" "$work/out/sample.zip"
grep -q SAMPLE "$work/out/log" && [ "$(unzip -p "$work/out/sample.zip" patch.rpa | head -c 7)" = RPA-3.0 ] || fail "sample patch not announced or not packed"

# A throwaway CA, a code-signing certificate it issued, and PFX files with and without the CA.
cd "$work/out/ca"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Lumivex Test CA" 2>/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -keyout sign.key -out sign.pem -days 2 -subj "/CN=Sorvane Games Test" -CA ca.pem \
  -CAkey ca.key -addext extendedKeyUsage=codeSigning -addext basicConstraints=CA:FALSE 2>/dev/null
printf 'correct horse\n' > pass && printf 'wrong horse\n' > badpass
openssl pkcs12 -export -inkey sign.key -in sign.pem -certfile ca.pem -passout file:pass -out sign.pfx
openssl pkcs12 -export -inkey sign.key -in sign.pem -passout file:pass -out leaf.pfx
sign=(--sign-pfx "$PWD/sign.pfx" --sign-password-file "$PWD/pass")
verify() { osslsigncode verify -CAfile "$PWD/ca.pem" -in "$1" > "$1.verify" 2>&1 && grep -q "Message digest algorithm *: SHA256" "$1.verify"; }

# The shipped exe and the x86_64 build, signed and packed; a signed exe packed again gives the same ZIP.
release "${sign[@]}" "$work/out/patch.rpa" "$work/out/signed.zip"
release "${sign[@]}" --exe "$LUMIVEX_EXE" "$work/out/patch.rpa" "$work/out/x64.zip"
# The release's own start check ran on the signed x86_64 exe: its window appeared and it closed with 0.
grep -q "start check: the window appeared" "$work/out/log" || fail "the signed x86_64 exe did not start as it should"
for name in signed x64; do
  unzip -q "$work/out/$name.zip" -d "$work/out/$name"
  verify "$work/out/$name/LumivexPatchInstaller.exe" || fail "$name: no valid SHA-256 signature for the test CA"
done
if verify "$exe"; then fail "an unsigned exe passed the signature check"; fi
release --exe "$work/out/signed/LumivexPatchInstaller.exe" "$work/out/patch.rpa" "$work/out/again.zip"
cmp "$work/out/signed.zip" "$work/out/again.zip" || fail "the same signed exe packed twice differs"

# Each of these stops the release with a message naming the cause, and leaves no ZIP.
/usr/bin/python3 -c 'import sys; b = bytearray(open(sys.argv[1], "rb").read()); b[200000] ^= 1; open(sys.argv[2], "wb").write(b)' "$LUMIVEX_EXE" "$work/out/flipped.exe"
refused() {  # <case> <words of the message> <release.sh arguments before out.zip...>
  local what=$1 message=$2; shift 2
  if "$src/scripts/release.sh" "$@" "$work/out/refused.zip" > "$work/out/log" 2>&1; then fail "$what: released"; fi
  grep -q "$message.*nothing packed" "$work/out/log" || { cat "$work/out/log"; fail "$what: no clear message"; }
  [ ! -e "$work/out/refused.zip" ] || fail "$what: a ZIP was written"
}
refused "missing patch" "missing or empty" "$work/out/missing.rpa"
refused "wrong password" "wrong password" --sign-pfx "$PWD/sign.pfx" --sign-password-file "$PWD/badpass" "$work/out/patch.rpa"
refused "PFX without its CA" "does not verify" --sign-pfx "$PWD/leaf.pfx" --sign-password-file "$PWD/pass" "$work/out/patch.rpa"
refused "exe with one bit flipped" "cut short" "${sign[@]}" --exe "$work/out/flipped.exe" "$work/out/patch.rpa"
refused "an exe that shows no window" "did not start" --exe "$LUMIVEX_BUILD/tests/wintool.exe" "$work/out/patch.rpa"
refused "timestamp server down" "timestamp server" "${sign[@]}" --timestamp http://127.0.0.1:9/ "$work/out/patch.rpa"
echo "release ok: $(stat -c %s "$work/out/one.zip") bytes, $kind; signed by $(grep -m1 -o "Subject: .*" "$work/out/x64/LumivexPatchInstaller.exe.verify")"
