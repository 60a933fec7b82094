#!/usr/bin/env bash
# A fresh Wine prefix with fonts for the three languages and a persistent wineserver.
# Usage: make-prefix.sh <prefix> <display>
set -euo pipefail
prefix=$1
export WINEPREFIX="$prefix" WINEDEBUG=-all DISPLAY=$2
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
timeout 20 "$WINESERVER" -k >/dev/null 2>&1 || true
timeout 20 "$WINESERVER" -w || true  # the old server gone first, or the first boot can fail
rm -rf "$prefix"
mkdir -p "$prefix"
timeout 180 wineboot -i >/dev/null 2>&1
timeout 30 "$WINESERVER" -w || true
setsid "$WINESERVER" -p >/dev/null 2>&1 </dev/null || true
# A crash ends the program at once, without a dialog, and leaves Wine's report in C:\crash-report.txt
# (a GUI program has no stderr); unmanaged windows, as Wine waits up to 2 s to hide a managed one.
settings=$(mktemp --suffix=.reg)
sed 's/$/\r/' >"$settings" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Microsoft YaHei UI"="WenQuanYi Micro Hei"
"Microsoft JhengHei UI"="WenQuanYi Micro Hei"
"Segoe UI"="Liberation Sans"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"="cmd /c C:\\crash-report.cmd %ld %ld"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG
timeout 60 wine regedit /S "Z:${settings//\//\\}" >/dev/null 2>&1  # Z: is /
rm -f "$settings"
printf 'C:\\windows\\system32\\winedbg.exe --auto %%1 %%2 >> C:\\crash-report.txt 2>&1\r\n' \
  >"$prefix/drive_c/crash-report.cmd"
# Windows' GDI+ falls back to a CJK font for the "简中" and "繁中" pills; Wine only through font links.
link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
for face in "Liberation Sans" "Segoe UI"; do
  timeout 30 wine reg add "$link" /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f \
    >/dev/null 2>&1
done
timeout 30 wine reg query 'HKCU\Software\Wine\X11 Driver' /v Managed >/dev/null 2>&1  # the import took
