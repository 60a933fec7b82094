#!/usr/bin/env bash
# Runs a Windows test program under Wine in the build's scratch prefix and display.
# Usage: wine-run.sh <build dir> <program.exe> [args...]
set -u
build=$1; shift
if [ -f "$build/harness/env" ]; then . "$build/harness/env"; fi
export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}" WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@"
