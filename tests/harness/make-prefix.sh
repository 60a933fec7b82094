#!/usr/bin/env bash
# Creates a fresh Wine prefix with fonts mapped for the installer's three languages and leaves a
# persistent wineserver running for it. Usage: make-prefix.sh <prefix> <display>
set -euo pipefail
trap 'echo "make-prefix.sh: line $LINENO failed: $BASH_COMMAND"' ERR
prefix=$1
export WINEPREFIX="$prefix" WINEDEBUG=-all DISPLAY=$2
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
if [ -d "$prefix" ]; then
  timeout 20 "$WINESERVER" -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
fi
mkdir -p "$prefix"
# A wineserver of the removed prefix that is still going away can make the first boot fail.
if ! timeout 180 wineboot -i >/dev/null 2>&1; then
  echo "wineboot failed once; retrying in a clean prefix"
  timeout 20 "$WINESERVER" -k >/dev/null 2>&1 || true
  sleep 2
  rm -rf "$prefix" && mkdir -p "$prefix"
  timeout 180 wineboot -i >/dev/null 2>&1
fi
timeout 30 "$WINESERVER" -w || true
setsid "$WINESERVER" -p >/dev/null 2>&1 < /dev/null || true
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
# Windows' GDI+ falls back to a CJK font for characters the Latin face lacks (the "简中" and "繁中"
# language pills are drawn with the English family); Wine does that only through font linking.
link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
for f in "Liberation Sans" "Segoe UI"; do
  timeout 30 wine reg add "$link" /v "$f" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1
done
# A crash must end the program at once, not wait behind a crash dialog, and leave Wine's report
# (exception, registers, backtrace) in C:\crash-report.txt: a GUI program has no stderr to print it on.
timeout 30 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
printf 'C:\\windows\\system32\\winedbg.exe --auto %%1 %%2 >> C:\\crash-report.txt 2>&1\r\n' > "$prefix/drive_c/crash-report.cmd"
timeout 30 wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ \
  /d 'cmd /c C:\crash-report.cmd %ld %ld' /f >/dev/null 2>&1
timeout 30 wine reg query 'HKCU\Software\Wine\Fonts\Replacements' /v "Segoe UI" >/dev/null 2>&1 || { echo "font mapping missing in $prefix"; exit 1; }
