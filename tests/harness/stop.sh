#!/usr/bin/env bash
# Ends what start.sh started, by recorded process id only, and unmounts its small drive.
set -u
state="$1/harness"
if [ -f "$state/env" ]; then
  . "$state/env"
  timeout 20 "$(command -v wineserver || echo /usr/lib/wine/wineserver64)" -k >/dev/null 2>&1
fi
if [ -f "$state/xvfb.pid" ]; then
  pid=$(cat "$state/xvfb.pid")
  kill "$pid" 2>/dev/null
  timeout 5 tail --pid="$pid" -f /dev/null || kill -9 "$pid" 2>/dev/null
fi
rm -f "$state/env" "$state/xvfb.pid" "$state/display"
umount "$1/drives/small" 2>/dev/null
exit 0
