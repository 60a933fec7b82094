#!/usr/bin/env bash
# Starts an installer exe once under Wine, as a player would: its main window must appear and it
# must end with exit code 0 when asked to close. Exit codes: 0 it started and closed cleanly,
# 1 it did not (reason printed), 77 this machine cannot run it (reason printed).
# Usage: scripts/start-check.sh <exe>
#   LUMIVEX_HARNESS may name a test build whose harness (Wine prefix, display) is running; without
#   it a scratch prefix and display are made under build/start-check and removed afterwards.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$1
say() { echo "start check: $*"; }
case "$(file -b "$exe")" in
  PE32\ *)
    "$root/scripts/can-run-32bit.sh" || { say "this kernel does not run 32-bit code, so the exe cannot be started here"; exit 77; }
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" ||
      { say "wine32:i386 is not installed (scripts/setup.sh installs it), so the exe cannot be started here"; exit 77; } ;;
  PE32+\ *) ;;
  *) say "$exe is not a Windows executable"; exit 1 ;;
esac

harness=${LUMIVEX_HARNESS:-} own=""
trap '[ -n "$own" ] && "$root/tests/harness/stop.sh" "$harness" >/dev/null 2>&1' EXIT
if [ -z "$harness" ]; then
  harness="$root/build/start-check" own=1
  cmake --preset test -S "$root" >/dev/null && cmake --build "$root/build/test" --target start_check >/dev/null ||
    { say "cannot build the start check"; exit 1; }
  mkdir -p "$harness/tools" && cp "$root/build/test/tools/start_check.exe" "$harness/tools/"
  "$root/tests/harness/start.sh" "$harness" >"$harness/harness.log" 2>&1 || { cat "$harness/harness.log"; exit 1; }
fi
. "$harness/harness/env"
timeout 120 wine "$harness/tools/start_check.exe" "$(winepath -w "$exe" 2>/dev/null)" >"$harness/start-check.out" 2>/dev/null
code=$?
[ "$code" = 0 ] || { say "$(tr -d '\r' <"$harness/start-check.out")" "(code $code)"; exit 1; }
say "the window appeared and the installer closed with exit code 0"
