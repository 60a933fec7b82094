#!/usr/bin/env bash
# Builds the demo Steam world in a scratch Wine prefix under build/demo (never ~/.wine) and prints
# the installer's Windows path. Usage: demo-world.sh <build dir of the test preset> <display>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
display=$2
demo="$root/build/demo"
prefix="$demo/wineprefix"
if [ ! -f "$prefix/system.reg" ]; then
  echo "demo: making a scratch Wine prefix in $prefix (about 15 s, once)" >&2
  "$root/tests/harness/make-prefix.sh" "$prefix" "$display" >&2
else
  setsid env WINEPREFIX="$prefix" DISPLAY="$display" wineserver -p >/dev/null 2>&1 < /dev/null || true
fi
# Drive D: is a folder of the build, so the second library lies on another drive.
mkdir -p "$demo/drive-d"
ln -sfn "$demo/drive-d" "$prefix/dosdevices/d:"
# Every Wine program here gets the display: the first one after the server starts makes the desktop,
# and a desktop made without a display has no driver, so the installer started next opens no window.
export WINEPREFIX="$prefix" WINEDEBUG=-all DISPLAY="$display"
exe=$(winepath -w "$build/LumivexPatchInstaller.exe")
LUMIVEX_BUILD="$build" wine "$build/tools/demo_world.exe" "$exe" | tr -d '\r'
