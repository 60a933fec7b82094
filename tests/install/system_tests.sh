#!/usr/bin/env bash
# Runs the installation cases that need a real small drive on a 32 MiB tmpfs (the test maps it to a
# drive letter); exits 77 (skipped) where the mount is not allowed. Usage: system_tests.sh <install_tests.exe>
set -u
. "$LUMIVEX_BUILD/harness/env"
disk=$(mktemp -d "$LUMIVEX_BUILD/small-drive.XXXXXX")
trap 'umount "$disk" 2>/dev/null; rmdir "$disk"' EXIT
mount -t tmpfs -o size=32m lumivex-small "$disk" 2>/dev/null || { echo "SKIPPED: no tmpfs mount allowed here"; exit 77; }
LUMIVEX_SMALL_DISK="$disk" timeout 300 wine "$1" --gtest_filter='SmallDrive.*'
