#!/usr/bin/env bash
# Creates a fresh Wine prefix with fonts mapped for the installer's three languages and leaves a
# persistent wineserver running for it. Usage: make-prefix.sh <prefix> <display>
set -euo pipefail
prefix=$1
export WINEPREFIX="$prefix" WINEDEBUG=-all DISPLAY=$2
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
if [ -d "$prefix" ]; then
  timeout 20 "$WINESERVER" -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
fi
mkdir -p "$prefix"
timeout 180 wineboot -i >/dev/null 2>&1
timeout 30 "$WINESERVER" -w || true
setsid "$WINESERVER" -p >/dev/null 2>&1 < /dev/null || true
key='HKCU\Software\Wine\Fonts\Replacements'
reg_file=$(mktemp --suffix=.reg)
{
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  for f in "Microsoft YaHei UI" "Microsoft YaHei" "Microsoft JhengHei UI" "Microsoft JhengHei"; do
    printf '"%s"="WenQuanYi Micro Hei"\r\n' "$f"
  done
  for f in "Segoe UI" "Arial"; do printf '"%s"="Liberation Sans"\r\n' "$f"; done
} > "$reg_file"
timeout 60 wine regedit /S "$(winepath -w "$reg_file" 2>/dev/null)" >/dev/null 2>&1 || \
  timeout 60 wine regedit /S "$reg_file" >/dev/null 2>&1
rm -f "$reg_file"
timeout 30 wine reg query "$key" /v "Segoe UI" >/dev/null 2>&1 || { echo "font mapping missing in $prefix"; exit 1; }
