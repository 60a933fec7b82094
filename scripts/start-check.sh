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

harness=${LUMIVEX_HARNESS:-} own="" app=""
cleanup() {
  [ -n "$app" ] && rm -rf "$app"
  [ -n "$own" ] && "$root/tests/harness/stop.sh" "$harness" >/dev/null 2>&1
}
trap cleanup EXIT
if [ -z "$harness" ]; then
  harness="$root/build/start-check" own=1
  cmake --preset test -S "$root" >/dev/null && cmake --build "$root/build/test" --target wintool >/dev/null ||
    { say "cannot build the window tool"; exit 1; }
  mkdir -p "$harness/tests" && cp "$root/build/test/tests/wintool.exe" "$harness/tests/"
  "$root/tests/harness/start.sh" "$harness" >"$harness/harness.log" 2>&1 || { cat "$harness/harness.log"; exit 1; }
fi
. "$harness/harness/env"
wintool="$harness/tests/wintool.exe"
app=$(mktemp -d "$harness/start-check.XXXXXX")
cp "$exe" "$app/LumivexPatchInstaller.exe"
(cd "$app" && exec wine ./LumivexPatchInstaller.exe --lang en >/dev/null 2>&1 </dev/null) &
pid=$!
seen=""
for _ in $(seq 1 60); do
  kill -0 "$pid" 2>/dev/null || break
  if timeout 10 wine "$wintool" wait LumivexPatchInstallerMain 1000 >"$app/window" 2>/dev/null; then seen=1; break; fi
done
if [ -z "$seen" ]; then
  kill "$pid" 2>/dev/null; wait "$pid"; say "no installer window appeared (exit code $?)"; exit 1
fi
timeout 30 wine "$wintool" close LumivexPatchInstallerMain >/dev/null 2>&1
for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && { kill "$pid"; say "the installer did not close when asked"; exit 1; }
wait "$pid"; code=$?
[ "$code" = 0 ] || { say "the installer closed with exit code $code"; exit 1; }
say "the window appeared and the installer closed with exit code 0"
