#!/usr/bin/env bash
# dll_planting.sh <planting_tests.exe>: builds the planted DLLs and the control program for the
# installer's architecture (pe32.sh sets LUMIVEX_MINGW_CC) into LUMIVEX_PLANTED, then runs the tests.
set -eu
cc=${LUMIVEX_MINGW_CC:-x86_64-w64-mingw32-gcc}
source=$(dirname "$0")/planted_dll.c
export LUMIVEX_PLANTED=$LUMIVEX_BUILD/planted-${cc%-gcc}
rm -rf "$LUMIVEX_PLANTED"
mkdir -p "$LUMIVEX_PLANTED"
cd "$LUMIVEX_PLANTED"
"$cc" -shared -O1 -o winmm.dll "$source"
"$cc" -municode -DCONTROL -O1 -o control.exe "$source"
for name in gdiplus dwmapi uxtheme version oleacc; do
  cp winmm.dll $name.dll
done
exec "$LUMIVEX_SOURCE/tests/harness/wine-run.sh" "$LUMIVEX_BUILD" "$1"
