#!/usr/bin/env bash
# Runs a Windows test program under Wine in the build's scratch prefix and display.
# Usage: wine-run.sh <build dir> <program.exe> [args...]
build=$1
shift
[ ! -f "$build/harness/env" ] || . "$build/harness/env"
export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}" WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@"
