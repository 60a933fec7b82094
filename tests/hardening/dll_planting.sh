#!/usr/bin/env bash
# DLL planting: DLLs named like the ones the installer (or the system DLLs it uses) loads are
# dropped beside a copy of the installer, as in a download folder. Each planted DLL leaves a
# trace file when it is loaded. The installer must run normally and no trace may appear.
# Two unprotected control programs in the same kind of folder must leave traces, which proves
# the trap springs (Wine only runs a planted file when WINEDLLOVERRIDES says n,b).
# Usage: dll_planting.sh <wintool.exe>   (env: LUMIVEX_BUILD, LUMIVEX_SOURCE, LUMIVEX_EXE)
set -u
wintool=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$LUMIVEX_BUILD/harness/env"
export WINEDLLOVERRIDES="winmm,gdiplus,dwmapi,uxtheme,version=n,b"
CC=${LUMIVEX_MINGW_CC:-x86_64-w64-mingw32-gcc}
NM=${LUMIVEX_MINGW_NM:-x86_64-w64-mingw32-nm}
libdir=$(dirname "$($CC -print-file-name=libgdiplus.a)")
# i686 import libraries name their slots __imp__Name@bytes (the DLLs export plain Name), and the
# stdcall entry point is _DllMain@12.
case "$($CC -dumpmachine)" in i686*) lead=_ entry=_DllMain@12 ;; *) lead= entry=DllMain ;; esac
names="winmm gdiplus dwmapi uxtheme version"
work="$LUMIVEX_BUILD/hardening/planting"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$work"; mkdir -p "$work/dlls" "$work/app" "$work/load" "$work/import"

# Planted DLLs: every export of the real DLL (as the toolchain's import library lists it).
for name in $names; do
  def="$work/dlls/$name.def"
  { echo "LIBRARY $name.dll"; echo "EXPORTS"
    "$NM" -g --defined-only "$libdir/lib$name.a" 2>/dev/null |
      sed -n "s/^.* I __imp_$lead\([A-Za-z0-9_]*\)\(@[0-9]*\)\{0,1\}$/  \1=planted_stub/p" | sort -u
  } > "$def"
  "$CC" -shared -O1 -o "$work/dlls/$name.dll" "$here/planted_dll.c" "$def" -Wl,--entry,$entry -nostartfiles \
    -lkernel32 || { echo "cannot build planted $name.dll"; exit 1; }
done
"$CC" -municode -O1 -o "$work/load/plant_controls.exe" "$here/plant_controls.c" -lgdiplus -ldwmapi || exit 1
cp "$work/load/plant_controls.exe" "$work/import/"
for dir in app load import; do cp "$work"/dlls/*.dll "$work/$dir/"; done
cp "$LUMIVEX_EXE" "$work/app/LumivexPatchInstaller.exe"

traces() { (cd "$1" && ls -1 ./*.loaded 2>/dev/null | sed 's|^\./||' | tr '\n' ' '); }

# Control 1: a bare LoadLibraryW picks up all five planted files.
(cd "$work/load" && timeout 60 wine plant_controls.exe load >/dev/null 2>&1); loaded=$?
echo "control LoadLibraryW: $loaded of 5 loaded from the program folder; traces: $(traces "$work/load")"
[ "$loaded" = 5 ] || fail "control program loaded $loaded planted DLLs instead of 5: the trap does not work"
for name in $names; do
  [ -e "$work/load/$name.dll.loaded" ] || fail "control LoadLibraryW left no trace for $name.dll"
done

# Control 2: an import table naming gdiplus.dll and dwmapi.dll loads the planted files.
(cd "$work/import" && timeout 60 wine plant_controls.exe import >/dev/null 2>&1)
echo "control import table: traces: $(traces "$work/import")"
for name in gdiplus dwmapi; do
  [ -e "$work/import/$name.dll.loaded" ] || fail "control import table left no trace for $name.dll"
done

# The installer: starts from the planted folder (also its current directory), shows its window,
# closes on WM_CLOSE with exit code 0, and none of the planted DLLs ran.
cd "$work/app"
timeout 120 wine "$work/app/LumivexPatchInstaller.exe" --lang en >/dev/null 2>&1 &
pid=$!
if timeout 60 wine "$wintool" wait LumivexPatchInstallerMain 30000 >"$work/window.txt" 2>/dev/null; then
  echo "installer window: $(cut -f3,6 "$work/window.txt" | head -1)"
  # Let start-up finish (music start, first paint) before closing.
  sleep 2
  timeout 30 wine "$wintool" close LumivexPatchInstallerMain >/dev/null 2>&1
else
  fail "the installer window did not appear"
fi
wait "$pid"; rc=$?
[ "$rc" = 0 ] || fail "installer exit code $rc, expected 0"
left=$(traces "$work/app")
[ -z "$left" ] || fail "planted DLLs ran inside the installer: $left"
echo "installer: exit code $rc; traces: ${left:-none}"

[ "$failures" = 0 ] && echo "PASS" && exit 0
exit 1
