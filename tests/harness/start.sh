#!/usr/bin/env bash
# Makes this run's scratch Wine prefix (never ~/.wine), starts a display when none is given and a
# persistent wineserver so each test program starts quickly. Writes <build>/harness/env.
set -euo pipefail
trap 'echo "start.sh: line $LINENO failed: $BASH_COMMAND"' ERR
build=$1
here=$(cd "$(dirname "$0")" && pwd)
state="$build/harness"
mkdir -p "$state"
"$here/stop.sh" "$build" >/dev/null 2>&1 || true  # leftovers of an interrupted run
display="${DISPLAY:-}"
if [ -z "$display" ]; then
  for number in $(seq 91 140); do
    if [ ! -e "/tmp/.X11-unix/X$number" ] && [ ! -e "/tmp/.X$number-lock" ]; then
      display=":$number"
      break
    fi
  done
  setsid Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
  echo $! >"$state/xvfb.pid"
  socket="/tmp/.X11-unix/X${display#:}"
  timeout 10 bash -c "until [ -e $socket ]; do sleep 0.1; done" || { echo "Xvfb did not start on $display"; exit 1; }
fi
"$here/make-prefix.sh" "$build/wineprefix" "$display"
printf 'export DISPLAY=%s\nexport WINEPREFIX=%s\nexport WINEDEBUG=-all\n' "$display" "$build/wineprefix" >"$state/env"
echo "harness ready: DISPLAY=$display WINEPREFIX=$build/wineprefix"
