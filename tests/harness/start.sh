#!/usr/bin/env bash
# Makes this run's scratch Wine prefix (never ~/.wine), starts a display when none is given and a
# persistent wineserver so each test program starts quickly. Writes <build>/harness/env.
set -euo pipefail
trap 'echo "start.sh: line $LINENO failed: $BASH_COMMAND"' ERR
build=$1
here=$(cd "$(dirname "$0")" && pwd)
state="$build/harness"
mkdir -p "$state"
# Leftovers of an earlier run that was interrupted.
"$here/stop.sh" "$build" >/dev/null 2>&1 || true

display="${DISPLAY:-}"
if [ -z "$display" ]; then
  for n in $(seq 91 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
  done
  setsid Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 < /dev/null &
  echo $! > "$state/xvfb.pid"
  for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  [ -e "/tmp/.X11-unix/X${display#:}" ] || { echo "Xvfb did not start on $display"; exit 1; }
fi

prefix="$build/wineprefix"
"$here/make-prefix.sh" "$prefix" "$display"
# Without a window manager Wine waits up to two seconds whenever a managed window is hidden; the
# tests' windows are unmanaged and go at once.
WINEPREFIX="$prefix" DISPLAY="$display" WINEDEBUG=-all timeout 30 wine reg add 'HKCU\Software\Wine\X11 Driver' \
  /v Managed /d N /f >/dev/null 2>&1
{
  echo "export DISPLAY=$display"
  echo "export WINEPREFIX=$prefix"
  echo "export WINEDEBUG=-all"
} > "$state/env"
echo "harness ready: DISPLAY=$display WINEPREFIX=$prefix"
