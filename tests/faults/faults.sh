#!/usr/bin/env bash
# Mounts a 32 MiB tmpfs, maps it to a free drive letter of the test prefix and runs the copy
# cases that fill that disk up. Exits 77 (skipped) where tmpfs cannot be mounted.
# Usage: faults.sh <copy_faults.exe>   (env: LUMIVEX_BUILD)
set -u
program=$1
. "$LUMIVEX_BUILD/harness/env"
disk="$LUMIVEX_BUILD/faults/small-disk"
mkdir -p "$disk"
if ! mount -t tmpfs -o size=32m lumivex-faults "$disk" 2>/dev/null; then
  echo "SKIPPED: no tmpfs mount allowed here"
  exit 77
fi
letter=""
for l in t u v w x y; do
  if [ ! -e "$WINEPREFIX/dosdevices/$l:" ] && [ ! -L "$WINEPREFIX/dosdevices/$l:" ]; then letter=$l; break; fi
done
cleanup() {
  [ -n "$letter" ] && rm -f "$WINEPREFIX/dosdevices/$letter:"
  umount "$disk" 2>/dev/null
  rmdir "$disk" 2>/dev/null
}
trap cleanup EXIT
[ -n "$letter" ] || { echo "no free drive letter"; exit 1; }
ln -s "$disk" "$WINEPREFIX/dosdevices/$letter:"
LUMIVEX_FAULT_DRIVE="${letter^^}:" timeout 300 wine "$program" --gtest_filter='DiskFull.*'
