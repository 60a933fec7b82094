#!/usr/bin/env bash
# The real installer started under Wine: the main window's title, client size at 96 and 144 DPI
# and its place on the work area; exit code 0 when closed; a folder next to the temporary folder
# whose name only begins like it does not count as running from the ZIP.
set -uo pipefail
. "$LUMIVEX_BUILD/harness/env"
wintool="$LUMIVEX_BUILD/tests/wintool.exe"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failures=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi; }
# Wine's helper processes keep pipes open, so every Wine call writes to files.
wine_to() { local name=$1; shift; timeout 60 wine "$@" >"$out/$name" 2>"$out/$name.err" </dev/null; }

drive_c="$WINEPREFIX/drive_c"
english_title='[Sorvane Games] Lumivex: Orrendale Steam Patch - Ver1.0.0 Installer (English)'

# Starts the installer from a Windows folder, waits for its main window and prints its wintool line.
run_installer() {  # <windows folder> <unix folder> <log name>
  mkdir -p "$2"
  cp "$LUMIVEX_EXE" "$2/LumivexPatchInstaller.exe"
  (cd "$2" && exec wine "$1\\LumivexPatchInstaller.exe" --lang en >"$out/$3.log" 2>&1 </dev/null) &
  installer=$!
  wine_to "$3.window" "$wintool" wait LumivexPatchInstallerMain 30000
}

close_installer() {  # <log name>; sets $code
  wine_to "$1.close" "$wintool" close LumivexPatchInstallerMain
  local waited=0
  while kill -0 "$installer" 2>/dev/null && [ $waited -lt 300 ]; do sleep 0.1; waited=$((waited + 1)); done
  if kill -0 "$installer" 2>/dev/null; then kill "$installer"; code=timeout; return; fi
  wait "$installer"; code=$?
}

field() { cut -f"$2" "$out/$1.window" | head -n1; }

set_dpi() {
  wine_to dpi reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f
}

# 96 DPI: the design size, centred on the work area (the whole 1920 x 1080 screen without a taskbar).
set_dpi 96
run_installer 'C:\lumivex-startup\app' "$drive_c/lumivex-startup/app" dpi96
check "main window appears at 96 DPI" '[ -s "$out/dpi96.window" ]'
check "English title" '[ "$(field dpi96 6)" = "$english_title" ]'
client=$(field dpi96 5); outer=$(field dpi96 4)
check "client 1160x700 at 96 DPI (got $client)" '[ "${client#*,*,}" = "1160,700" ]'
IFS=, read -r ox oy ow oh <<<"$outer"
check "centred: $outer" '[ $((ox * 2 + ow - 1920)) -ge -1 ] && [ $((ox * 2 + ow - 1920)) -le 1 ] && [ $((oy * 2 + oh - 1080)) -ge -1 ] && [ $((oy * 2 + oh - 1080)) -le 1 ]'
close_installer dpi96
check "exit code 0 after closing (got $code)" '[ "$code" = 0 ]'

# 144 DPI: everything scales by 1.5. The 1740 x 1050 client is wider than it fits high on this
# 1080-pixel screen, so the window takes the work area's height less the 36-pixel margin.
set_dpi 144
run_installer 'C:\lumivex-startup\app' "$drive_c/lumivex-startup/app" dpi144
client=$(field dpi144 5); outer=$(field dpi144 4)
IFS=, read -r ox oy ow oh <<<"$outer"
check "client 1740 wide at 144 DPI (got $client)" '[ "$(echo "$client" | cut -d, -f3)" = 1740 ]'
check "outer height 1080 - 36 at 144 DPI, centred (got $outer)" '[ "$oh" = 1044 ] && [ "$oy" = 18 ]'
close_installer dpi144
check "exit code 0 at 144 DPI (got $code)" '[ "$code" = 0 ]'
set_dpi 96

# A sibling of the temporary folder ("...\TempX") is an ordinary folder.
wine_to temp cmd /c 'echo %TEMP%'
temp=$(tr -d '\r\n' <"$out/temp")
unix_temp=$(timeout 30 winepath -u "$temp" 2>/dev/null </dev/null)
sibling="${temp}X-lumivex"
run_installer "$sibling" "${unix_temp%/}X-lumivex" sibling
check "no message in a sibling of the temp folder ($sibling)" '[ -s "$out/sibling.window" ]'
close_installer sibling
check "exit code 0 from the sibling folder (got $code)" '[ "$code" = 0 ]'
rm -rf "${unix_temp%/}X-lumivex" "$drive_c/lumivex-startup"

[ "$failures" -eq 0 ]
