#!/usr/bin/env bash
# This run's scratch Wine prefix (never ~/.wine) and, when none is given, a display.
# Writes <build>/harness/env.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
state="$build/harness"
mkdir -p "$state"
"$here/stop.sh" "$build" >/dev/null 2>&1 || true  # leftovers of an interrupted run
display="${DISPLAY:-}"
if [ -z "$display" ]; then
  # Xvfb picks a free display and writes its number once it accepts connections.
  setsid Xvfb -displayfd 4 -screen 0 1920x1080x24 -nolisten tcp 4>"$state/display" >/dev/null 2>&1 </dev/null &
  echo $! >"$state/xvfb.pid"
  timeout 10 bash -c "until [ -s '$state/display' ]; do sleep 0.1; done" || { echo "Xvfb did not start"; exit 1; }
  display=":$(cat "$state/display")"
fi
prefix="$build/wineprefix"
"$here/make-prefix.sh" "$prefix" "$display"
# The tests' own drives: M: fixed, N: removable, S: a 32 MiB tmpfs where this machine lets us mount
# one (the small-drive tests skip otherwise). Wine's mount manager reads the letters and their types
# when the server starts, so it restarts.
for drive in m:fixed n:removable s:small; do
  mkdir -p "$build/drives/${drive#*:}"
  ln -sfn "$build/drives/${drive#*:}" "$prefix/dosdevices/${drive%%:*}:"
done
mount -t tmpfs -o size=32m lumivex-small "$build/drives/small" 2>/dev/null || true
export WINEPREFIX="$prefix" DISPLAY="$display" WINEDEBUG=-all
timeout 30 wine reg add 'HKLM\Software\Wine\Drives' /v n: /d floppy /f >/dev/null 2>&1
server=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
timeout 20 "$server" -k || true
timeout 20 "$server" -w || true
setsid "$server" -p >/dev/null 2>&1 </dev/null || true
# Wine's services start with the first program and keep its output open: let that be this one, not
# a test whose output ctest waits to close.
timeout 60 wine reg query 'HKLM\Software\Wine\Drives' >/dev/null 2>&1
printf 'export DISPLAY=%s\nexport WINEPREFIX=%s\nexport WINEDEBUG=-all\n' "$display" "$prefix" >"$state/env"
echo "harness ready: DISPLAY=$display WINEPREFIX=$build/wineprefix"
