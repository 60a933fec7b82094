#!/usr/bin/env bash
# The newcomer's command: installs what is needed, builds the x86_64 test build, builds a demo
# Steam world in a scratch Wine prefix (build/demo, never ~/.wine) and starts the installer there
# without --lang, so the language window comes first. Uses $DISPLAY, or starts Xvfb when unset.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
# LUMIVEX_BUILD may name an already configured test-preset build directory.
build="${LUMIVEX_BUILD:-$root/build/test}"
[ -n "${LUMIVEX_BUILD:-}" ] || cmake --preset test >/dev/null
cmake --build "$build" --target LumivexPatchInstaller stand_in demo_world

display="${DISPLAY:-}"
xvfb=""
prefix="$root/build/demo/wineprefix"
# What this script started goes with it: the demo prefix's Wine server and our own display.
stop_started() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
}
trap stop_started EXIT
if [ -z "$display" ]; then
  for n in $(seq 61 90); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
  done
  setsid Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 < /dev/null &
  xvfb=$!
  for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  echo "run: no DISPLAY given, started Xvfb on $display (stopped again when the installer exits)"
fi

exe_win=$(scripts/demo-world.sh "$build" "$display" | tail -n 1)
cat <<INFO
run: demo world ready in $prefix
     Steam (registry SteamPath): c:/demo/valve/steam, library 2 on D: ($root/build/demo/drive-d)
     installer: $exe_win
INFO
if [ -z "${DISPLAY:-}" ]; then
  cat <<INFO
run: to look at the screen:  import -display $display -window root $root/build/demo/screen.png
     to click / type:        DISPLAY=$display xdotool mousemove X Y click 1 ; DISPLAY=$display xdotool key Return
INFO
fi
# Without a sound device the ALSA library prints its failed probes; the installer then just stays
# silent, so those lines are not passed on.
no_sound_noise() { grep -v -e '^ALSA lib ' -e 'snd_pcm_open' || true; }
echo "run: starting the installer (exit code follows when it ends)"
set +e
(cd "$root/build/demo/wineprefix/drive_c/demo/Downloads/Lumivex Patch 1.0.0" && \
  WINEPREFIX="$prefix" WINEDEBUG=-all DISPLAY="$display" wine "$exe_win") 2> >(no_sound_noise >&2)
code=$?
echo "run: installer exited with code $code"
launch="$root/build/demo/wineprefix/drive_c/demo/Valve/Steam/steamapps/common/Lumivex Orrendale/Lumivex.exe.record"
launch_d="$root/build/demo/drive-d/SteamLibrary/steamapps/common/Lumivex Orrendale/Lumivex.exe.record"
for f in "$launch" "$launch_d"; do
  [ -f "$f" ] && echo "run: the demo game was started in: $(sed -n 2p "$f")"
done
exit $code
