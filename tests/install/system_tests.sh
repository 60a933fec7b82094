#!/usr/bin/env bash
# Prepares what some installation cases need around Wine and runs those cases of the probe:
#  - a second drive letter and a symbolic link onto one folder (same file reached twice);
#  - a small tmpfs disk as a drive (the free-space check against a real volume);
#  - an unprivileged Unix user with its own prefix and a game folder it cannot write (a real
#    ERROR_ACCESS_DENIED; as root Wine writes anywhere).
# Usage: system_tests.sh <install_system_probe.exe> <install_recorder.exe>
set -u
probe=$1
recorder=$2
. "$LUMIVEX_BUILD/harness/env"
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
work="$LUMIVEX_BUILD/install-system"
failed=0
skipped=0

free_letter() {
  for l in t u v w x y; do
    if [ ! -e "$WINEPREFIX/dosdevices/$l:" ] && [ ! -L "$WINEPREFIX/dosdevices/$l:" ]; then echo "$l"; return; fi
  done
}

echo "== same folder through a second drive letter and a link"
twin="$WINEPREFIX/drive_c/lumivex-tests/twin-$$"
mkdir -p "$twin/Lumivex Orrendale/game"
ln -s "$twin/Lumivex Orrendale/game" "$twin/linked-game"
letter=$(free_letter)
ln -s "$twin" "$WINEPREFIX/dosdevices/$letter:"
LUMIVEX_TWIN_FOLDER="C:\\lumivex-tests\\twin-$$" LUMIVEX_TWIN_DRIVE="${letter^^}:" \
  LUMIVEX_TWIN_LINK="C:\\lumivex-tests\\twin-$$\\linked-game" \
  timeout 300 wine "$probe" --gtest_filter='TwinDrive.*' || failed=1
rm -f "$WINEPREFIX/dosdevices/$letter:"
rm -rf "$twin"

echo "== free space on a small disk"
disk="$work/small-disk"
mkdir -p "$disk"
if mount -t tmpfs -o size=32m lumivex-small "$disk" 2>/dev/null; then
  letter=$(free_letter)
  ln -s "$disk" "$WINEPREFIX/dosdevices/$letter:"
  LUMIVEX_SMALL_DRIVE="${letter^^}:" timeout 300 wine "$probe" --gtest_filter='SmallDisk.*' || failed=1
  rm -f "$WINEPREFIX/dosdevices/$letter:"
  umount "$disk"
else
  echo "SKIPPED: no tmpfs mount allowed here; the rule is covered by the FreeSpaceRule cases"
  skipped=1
fi
rmdir "$disk" 2>/dev/null

echo "== access denied for an unprivileged user"
user=lumivex-installtest
if [ "$(id -u)" = 0 ] && { id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"; }; then
  base="$work/access"
  rm -rf "$base"
  mkdir -p "$base/user-home" "$base/bin" "$base/locked/Lumivex Orrendale/game"
  cp "$probe" "$recorder" "$base/bin/"
  printf 'RPA-3.0 original' > "$base/locked/Lumivex Orrendale/game/archive.rpa"
  printf 'older patch' > "$base/locked/Lumivex Orrendale/game/patch.rpa"
  chown -R "$user:" "$base/user-home"
  chmod -R a+rX "$base/bin" "$base/locked"
  chmod 755 "$work" "$base"
  locked_win="Z:$(printf '%s' "$base/locked/Lumivex Orrendale/game" | tr '/' '\\')"
  as_user() {
    timeout 300 runuser -u "$user" -- env HOME="$base/user-home" WINEPREFIX="$base/user-home/prefix" WINEDEBUG=-all \
      DISPLAY="$DISPLAY" LUMIVEX_LOCKED_GAME="$locked_win" "$@"
  }
  if as_user wineboot -i >/dev/null 2>&1; then
    as_user wine "$base/bin/$(basename "$probe")" --gtest_filter='AccessDenied.*' || failed=1
    # Nothing was written into the locked folder.
    [ "$(cat "$base/locked/Lumivex Orrendale/game/patch.rpa")" = "older patch" ] || { echo "old patch changed"; failed=1; }
  else
    echo "FAILED: the unprivileged user's prefix could not be made"
    failed=1
  fi
  timeout 30 runuser -u "$user" -- env WINEPREFIX="$base/user-home/prefix" "$WINESERVER" -k >/dev/null 2>&1
  rm -rf "$base"
else
  echo "SKIPPED: cannot create an unprivileged user here"
  skipped=1
fi

[ "$failed" = 0 ] || exit 1
[ "$skipped" = 0 ] || exit 77
exit 0
