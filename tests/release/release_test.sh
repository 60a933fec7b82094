#!/usr/bin/env bash
# The players' ZIP: exact top-level contents, the shipped exe is a 32-bit GUI PE, the patch inside
# is the given file byte for byte, and packing (and building) twice gives identical bytes. Signed
# with a throwaway CA's code-signing certificate, the exe in the ZIP verifies for that chain and the
# signed x86_64 build still starts under Wine; every kind of failure packs nothing.
# Usage: release_test.sh <wintool.exe>
set -euo pipefail
src=${LUMIVEX_SOURCE:?}
work=${LUMIVEX_BUILD:?}/release-check
wintool=$1
rm -rf "$work/out" && mkdir -p "$work/out/ca"
fail() { echo "FAIL: $*"; exit 1; }
release() { "$src/scripts/release.sh" "$@" > "$work/out/log" 2>&1 || { cat "$work/out/log"; fail "release.sh $* failed"; }; }

head -c 1500000 /dev/urandom > "$work/out/patch.rpa"
export LUMIVEX_RELEASE_BUILD="$work/build-a"
release "$work/out/patch.rpa" "$work/out/one.zip"
grep -q SAMPLE "$work/out/log" && fail "a given patch was reported as a sample"
grep -q "packing the exe unsigned" "$work/out/log" || fail "an unsigned pack was not announced"
release "$work/out/patch.rpa" "$work/out/two.zip"
cmp "$work/out/one.zip" "$work/out/two.zip" || fail "two packs of the same inputs differ"

# A second build from scratch links the same bytes (no timestamps, no build paths).
rm -rf "$work/build-b"
cmake --preset release -B "$work/build-b" -S "$src" >/dev/null
cmake --build "$work/build-b" --target LumivexPatchInstaller >/dev/null
cmp "$work/build-a/LumivexPatchInstaller.exe" "$work/build-b/LumivexPatchInstaller.exe" || fail "two builds differ"

/usr/bin/python3 - "$work/out/one.zip" "$work/out/patch.rpa" "$work/build-a/LumivexPatchInstaller.exe" "$work/out" <<'PY'
import sys, zipfile
zip_path, patch, exe, out = sys.argv[1:]
z = zipfile.ZipFile(zip_path)
names = [i.filename for i in z.infolist()]
assert names == ["LumivexPatchInstaller.exe", "patch.rpa", "README.txt"], names
for i in z.infolist():
    assert i.date_time == (1980, 1, 1, 0, 0, 0), (i.filename, i.date_time)
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
open(out + "/inside.exe", "wb").write(z.read("LumivexPatchInstaller.exe"))
print("zip contents ok:", names)
PY
kind=$(file -b "$work/out/inside.exe")
case "$kind" in "PE32 executable (GUI) Intel 80386"*) ;; *) fail "exe inside is: $kind" ;; esac

# Without a patch a generated sample is packed, and the script says so.
release "" "$work/out/sample.zip"
grep -q "SAMPLE" "$work/out/log" || fail "sample patch not announced"
unzip -Z1 "$work/out/sample.zip" | tr '\n' ' ' | grep -qx "LumivexPatchInstaller.exe patch.rpa README.txt " || fail "sample zip contents"

# A throwaway CA, a code-signing certificate it issued, and PFX files with and without the CA.
cd "$work/out/ca"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Lumivex Test CA" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout sign.key -out sign.csr -subj "/CN=Sorvane Games Test" 2>/dev/null
printf 'extendedKeyUsage=codeSigning\n' > ext && printf 'correct horse\n' > pass && printf 'wrong horse\n' > badpass
openssl x509 -req -in sign.csr -CA ca.pem -CAkey ca.key -days 2 -extfile ext -out sign.pem 2>/dev/null
openssl pkcs12 -export -inkey sign.key -in sign.pem -certfile ca.pem -passout file:pass -out sign.pfx
openssl pkcs12 -export -inkey sign.key -in sign.pem -passout file:pass -out leaf.pfx
sign=(--sign-pfx "$PWD/sign.pfx" --sign-password-file "$PWD/pass")
verify() { osslsigncode verify -CAfile "$work/out/ca/ca.pem" -in "$1" > "$1.verify" 2>&1; }

# The shipped exe and the x86_64 build, signed and packed; a signed exe packed again gives the same ZIP.
release "${sign[@]}" "$work/out/patch.rpa" "$work/out/signed.zip"
release "${sign[@]}" --exe "$LUMIVEX_EXE" "$work/out/patch.rpa" "$work/out/x64.zip"
for name in signed x64; do
  unzip -q "$work/out/$name.zip" -d "$work/out/$name"
  verify "$work/out/$name/LumivexPatchInstaller.exe" || fail "$name: no valid signature for the test CA"
  grep -q "Message digest algorithm *: SHA256" "$work/out/$name/LumivexPatchInstaller.exe.verify" || fail "$name: not SHA-256"
done
if verify "$work/out/inside.exe"; then fail "an unsigned exe passed the signature check"; fi
release --exe "$work/out/signed/LumivexPatchInstaller.exe" "$work/out/patch.rpa" "$work/out/again.zip"
cmp "$work/out/signed.zip" "$work/out/again.zip" || fail "the same signed exe packed twice differs"

# The signed x86_64 build, extracted as a player would, shows its window and ends with 0 when closed.
. "$LUMIVEX_BUILD/harness/env"
(cd "$work/out/x64" && exec timeout 120 wine LumivexPatchInstaller.exe --lang en) > /dev/null 2>&1 < /dev/null &
installer=$!
timeout 60 wine "$wintool" wait LumivexPatchInstallerMain 30000 > /dev/null 2>&1 < /dev/null || fail "signed x86_64 exe: no window"
timeout 30 wine "$wintool" close LumivexPatchInstallerMain > /dev/null 2>&1 < /dev/null
wait "$installer" || fail "signed x86_64 exe: exit code $?"

# Each of these stops the release with a message naming the cause, and leaves no ZIP.
head -c -4096 "$LUMIVEX_EXE" > "$work/out/truncated.exe"
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
refused "truncated exe" "cut short" --exe "$work/out/truncated.exe" "$work/out/patch.rpa"
refused "flipped byte, signed" "cut short" "${sign[@]}" --exe "$work/out/flipped.exe" "$work/out/patch.rpa"
refused "timestamp server down" "timestamp server" "${sign[@]}" --timestamp http://127.0.0.1:9/ "$work/out/patch.rpa"
echo "release ok: $(stat -c %s "$work/out/one.zip") bytes, $kind; signed by $(grep -m1 -o "Subject: .*" "$work/out/x64/LumivexPatchInstaller.exe.verify")"
