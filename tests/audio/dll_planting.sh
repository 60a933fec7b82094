#!/usr/bin/env bash
# A "download folder" with a planted winmm.dll. WINEDLLOVERRIDES makes Wine load a native DLL
# found on the search path, as Windows would; the control program shows that the plant is then
# really picked up by a plain LoadLibraryW. The music player alone (probe), without the installer's
# process-wide search setting, starts the music (which loads winmm) and must leave the plant
# untouched. (The whole installer among planted DLLs, winmm too: tests/hardening/dll_planting.sh.)
set -u
. "$LUMIVEX_BUILD/harness/env"
planted=$1 control=$2 probe=$3
folder="$LUMIVEX_BUILD/dll-planting"
marker="$folder/planted-winmm-ran.txt"
rm -rf "$folder"; mkdir -p "$folder"
cp "$planted" "$folder/winmm.dll"
cp "$control" "$folder/load_winmm_plainly.exe"
cp "$probe" "$folder/music_plant_probe.exe"
export WINEDLLOVERRIDES="winmm=n,b"
failures=0

wine "$folder/load_winmm_plainly.exe" >/dev/null 2>&1
if [ ! -e "$marker" ]; then echo "FAIL: control did not load the planted DLL; the test cannot see a plant"; failures=1; fi
rm -f "$marker"

timeout 60 wine "$folder/music_plant_probe.exe" >/dev/null 2>&1
if [ -e "$marker" ]; then echo "FAIL: the music player loaded the planted winmm.dll"; failures=1; fi
rm -f "$marker"

rm -rf "$folder"
[ "$failures" = 0 ] && echo "planted winmm.dll was not loaded"
[ "$failures" = 0 ]
