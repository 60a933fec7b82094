#!/usr/bin/env bash
# The SmallDrive cases on a 32 MiB tmpfs; 77 (skipped) where it cannot be mounted.
# Usage: system_tests.sh <install_tests.exe>
set -u
. "$LUMIVEX_BUILD/harness/env"
disk=$(mktemp -d "$LUMIVEX_BUILD/small-drive.XXXXXX")
trap 'umount "$disk" 2>/dev/null; rmdir "$disk"' EXIT
if ! mount -t tmpfs -o size=32m lumivex-small "$disk" 2>/dev/null; then
  echo "SKIPPED: no tmpfs mount allowed here"
  exit 77
fi
LUMIVEX_SMALL_DISK="$disk" timeout 300 wine "$1" --gtest_filter='SmallDrive.*'
