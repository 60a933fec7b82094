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
"$here/make-prefix.sh" "$build/wineprefix" "$display"
printf 'export DISPLAY=%s\nexport WINEPREFIX=%s\nexport WINEDEBUG=-all\n' "$display" "$build/wineprefix" >"$state/env"
echo "harness ready: DISPLAY=$display WINEPREFIX=$build/wineprefix"
