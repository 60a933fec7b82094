#!/usr/bin/env bash
# Inspects both builds of the installer with pe_checks.py: the x86_64 test build under test, and
# the shipped i686 Release build in <source>/build/release, brought up to date first. When that
# build folder was never configured, the i686 half is skipped with a message.
# Env: LUMIVEX_BUILD, LUMIVEX_SOURCE, LUMIVEX_EXE.
set -u
here=$(cd "$(dirname "$0")" && pwd)
py=/usr/bin/python3
"$py" -c 'import pefile' 2>/dev/null || { echo "python3-pefile missing for $py"; exit 1; }
release_dir="$LUMIVEX_SOURCE/build/release"
# This machine's folders: none of them may be named inside a shipped or tested executable.
forbidden=("$(cd "$LUMIVEX_SOURCE" && pwd -P)" "$LUMIVEX_SOURCE" "$(cd "$LUMIVEX_BUILD" && pwd -P)" "$release_dir" /usr/src)
[ -n "${HOME:-}" ] && [ "$HOME" != "/" ] && forbidden+=("$HOME")
status=0

echo "== x86_64 test build: $LUMIVEX_EXE"
"$py" "$here/pe_checks.py" "$LUMIVEX_EXE" x86_64 test "${forbidden[@]}" || status=1

if [ -f "$release_dir/CMakeCache.txt" ]; then
  echo "== i686 release build: $release_dir"
  if ! timeout 800 cmake --build "$release_dir" --target LumivexPatchInstaller -j2 >"$LUMIVEX_BUILD/hardening-release-build.log" 2>&1; then
    echo "FAIL: the release build did not build (see $LUMIVEX_BUILD/hardening-release-build.log)"
    exit 1
  fi
  "$py" "$here/pe_checks.py" "$release_dir/LumivexPatchInstaller.exe" i686 Release "${forbidden[@]}" || status=1
else
  echo "SKIP i686 half: $release_dir is not configured (cmake --preset release)"
fi
exit $status
