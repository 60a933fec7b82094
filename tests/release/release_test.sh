#!/usr/bin/env bash
# The players' ZIP: exact top-level contents, the shipped exe is a 32-bit GUI PE, the patch inside
# is the given file byte for byte, and packing (and building) twice gives identical bytes.
set -euo pipefail
src=${LUMIVEX_SOURCE:?}
work=${LUMIVEX_BUILD:?}/release-check
rm -rf "$work/out" && mkdir -p "$work/out"
fail() { echo "FAIL: $*"; exit 1; }

head -c 1500000 /dev/urandom > "$work/out/patch.rpa"
export LUMIVEX_RELEASE_BUILD="$work/build-a"
"$src/scripts/release.sh" "$work/out/patch.rpa" "$work/out/one.zip" > "$work/out/log1" 2>&1 || { cat "$work/out/log1"; fail "release.sh failed"; }
"$src/scripts/release.sh" "$work/out/patch.rpa" "$work/out/two.zip" > "$work/out/log2" 2>&1 || { cat "$work/out/log2"; fail "second release.sh failed"; }
cmp "$work/out/one.zip" "$work/out/two.zip" || fail "two packs of the same inputs differ"
grep -q SAMPLE "$work/out/log1" && fail "a given patch was reported as a sample"

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
# (Output captured first: grep -q closing the pipe early would fail the pipeline under pipefail.)
headers=$(i686-w64-mingw32-objdump -f -p "$work/out/inside.exe")
grep -q "file format pei-i386" <<<"$headers" || fail "not pei-i386"
grep -q "Subsystem.*(Windows GUI)" <<<"$headers" || fail "not a GUI subsystem exe"

# Without a patch a generated sample is packed, and the script says so.
"$src/scripts/release.sh" "" "$work/out/sample.zip" > "$work/out/log3" 2>&1 || { cat "$work/out/log3"; fail "sample pack failed"; }
grep -q "SAMPLE" "$work/out/log3" || fail "sample patch not announced"
unzip -Z1 "$work/out/sample.zip" | tr '\n' ' ' | grep -qx "LumivexPatchInstaller.exe patch.rpa README.txt " || fail "sample zip contents"
# A missing patch is refused.
if "$src/scripts/release.sh" "$work/out/missing.rpa" "$work/out/bad.zip" > /dev/null 2>&1; then fail "missing patch accepted"; fi
[ ! -e "$work/out/bad.zip" ] || fail "zip written for a missing patch"
echo "release ok: $(stat -c %s "$work/out/one.zip") bytes, $kind"
