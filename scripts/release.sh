#!/usr/bin/env bash
# Builds the shipped 32-bit installer (release preset) and packs the ZIP players download:
# LumivexPatchInstaller.exe, patch.rpa and README.txt (简体中文 / 繁體中文 / English) at the top
# level. Same inputs give the same bytes.
# Usage: scripts/release.sh [patch.rpa] [out.zip]
#   without patch.rpa a generated SAMPLE patch is packed (it is labelled as such).
#   LUMIVEX_RELEASE_BUILD may name another build directory for the release preset.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${LUMIVEX_RELEASE_BUILD:-$root/build/release}"
patch="${1:-}"
out="${2:-$build/Lumivex-Orrendale-Patch-1.0.0.zip}"
py=/usr/bin/python3

cd "$root"
cmake --preset release -B "$build" >/dev/null
cmake --build "$build" --target LumivexPatchInstaller >/dev/null
exe="$build/LumivexPatchInstaller.exe"

if [ -z "$patch" ]; then
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
[ -f "$patch" ] && [ -s "$patch" ] || { echo "release: $patch is missing or empty" >&2; exit 1; }

mkdir -p "$(dirname "$out")"
rm -f "$out"
"$py" "$root/tests/release/pack.py" "$exe" "$patch" "$out"
echo "release: $(file -b "$exe" | cut -d, -f1)"
echo "release: $out ($(stat -c %s "$out") bytes, sha256 $(sha256sum "$out" | cut -d' ' -f1))"
