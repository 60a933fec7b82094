#!/usr/bin/env bash
# Ends what start.sh started, by recorded process id only.
set -u
build=$1
state="$build/harness"
if [ -f "$state/env" ]; then
  . "$state/env"
  WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
  timeout 20 "$WINESERVER" -k >/dev/null 2>&1 || true
fi
if [ -f "$state/xvfb.pid" ]; then
  pid=$(cat "$state/xvfb.pid")
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null || true
  rm -f "$state/xvfb.pid"
fi
rm -f "$state/env"
exit 0
