#!/usr/bin/env bash
# The SmallDrive cases on a 32 MiB tmpfs, mounted on the folder that is the harness's drive S:;
# 77 (skipped) where it cannot be mounted. Usage: system_tests.sh <install_tests.exe>
set -u
. "$LUMIVEX_BUILD/harness/env"
disk="$LUMIVEX_BUILD/drives/small"
trap 'umount "$disk" 2>/dev/null' EXIT
if ! mount -t tmpfs -o size=32m lumivex-small "$disk" 2>/dev/null; then
  echo "SKIPPED: no tmpfs mount allowed here"
  exit 77
fi
LUMIVEX_SMALL_DRIVE='S:\' timeout 300 wine "$1" --gtest_filter='SmallDrive.*'
