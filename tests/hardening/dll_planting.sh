#!/usr/bin/env bash
# DLL planting: DLLs named like the ones the installer (or the system DLLs it uses) loads are
# dropped beside a copy of the installer, as in a download folder. Each planted DLL leaves a
# trace file when it is loaded. The installer must run normally and no trace may appear.
# Two unprotected control programs in the same kind of folder must leave traces, which proves
# the trap springs (Wine only runs a planted file when WINEDLLOVERRIDES says n,b). Then each
# system DLL in turn cannot be loaded at all.
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

# Starts the installer from the planted folder (also its current directory) with the given DLL
# overrides; sets $window (its line, empty when none appeared) and $rc (its exit code). Once wine32
# is installed, `wine` hands a 64-bit exe to start.exe, a Windows program that itself needs user32
# and advapi32, so a 64-bit build is started through wine64 directly.
loader=wine
case "$(file -b "$LUMIVEX_EXE")" in PE32+*) [ -x /usr/lib/wine/wine64 ] && loader=/usr/lib/wine/wine64 ;; esac
start_installer() {
  (cd "$work/app" && WINEDLLOVERRIDES=$1 exec timeout 120 $loader ./LumivexPatchInstaller.exe --lang en >/dev/null 2>&1) &
  local pid=$! _
  window=""
  for _ in $(seq 1 30); do
    kill -0 "$pid" 2>/dev/null || break
    window=$(timeout 10 wine "$wintool" wait LumivexPatchInstallerMain 1000 2>/dev/null | head -1) && break
  done
  answer=""
  if [ -n "$window" ]; then
    sleep 2  # start-up finishes (music, first paint) before the close
    answer=$(timeout 30 wine "$wintool" object LumivexPatchInstallerMain 2>/dev/null | tr -d '\r')
    timeout 30 wine "$wintool" close LumivexPatchInstallerMain >/dev/null 2>&1
  fi
  wait "$pid"; rc=$?
}

# The installer among the planted DLLs: its window shows, it closes with exit code 0, and none of
# the planted DLLs ran.
start_installer "$WINEDLLOVERRIDES"
[ -n "$window" ] || fail "the installer window did not appear"
[ "$rc" = 0 ] || fail "installer exit code $rc, expected 0"
left=$(traces "$work/app")
[ -z "$left" ] || fail "planted DLLs ran inside the installer: $left"
echo "installer: exit code $rc; traces: ${left:-none}"

# A system DLL that cannot be loaded: the installer goes on without what an optional one gives
# (title bar, music, an accessible object: a screen reader then gets DefWindowProc's answer) and
# ends with exit code 1 without a required one, never with a crash.
rm -f "$work/app"/*.dll "$WINEPREFIX/drive_c/crash-report.txt"
for case in gdiplus:1 user32:1 gdi32:1 shell32:1 ole32:1 advapi32:1 dwmapi:0:answered winmm:0:answered \
    oleacc:0:default; do
  IFS=: read -r dll want reader <<< "$case"
  start_installer "$dll=d"
  echo "without $dll.dll: window $([ -n "$window" ] && echo shown || echo none), exit code $rc, reader ${answer:-none}"
  if [ "$want" = 0 ]; then
    [ -n "$window" ] && [ "$rc" = 0 ] && [ "$answer" = "$reader" ] || fail "without $dll.dll: want window, 0, $reader"
  else
    [ -z "$window" ] && [ "$rc" = 1 ] || fail "without $dll.dll the installer must end with 1 and no window"
  fi
done
[ ! -e "$WINEPREFIX/drive_c/crash-report.txt" ] || fail "a crash report was written: $(head -3 "$WINEPREFIX/drive_c/crash-report.txt")"

[ "$failures" = 0 ] && echo "PASS" && exit 0
exit 1
