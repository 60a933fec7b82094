#!/usr/bin/env bash
# Runs a test script on the shipped 32-bit installer, or says why it cannot and exits 77 (skipped).
# Usage: pe32.sh <script> [args...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
skip() {
  echo "SKIPPED: the shipped 32-bit exe cannot run here: $*"
  exit 77
}
"$here/../../scripts/can-run-32bit.sh" || skip "this kernel does not run 32-bit code"
dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" ||
  skip "wine32:i386 is not installed (scripts/setup.sh installs it where 32-bit code runs)"
[ -f "$LUMIVEX_EXE" ] || { echo "FAILED: $LUMIVEX_EXE is missing: build the release preset first"; exit 1; }
# The planted DLLs must be 32-bit too.
export LUMIVEX_MINGW_CC=i686-w64-mingw32-gcc
exec "$@"
