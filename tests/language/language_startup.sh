#!/usr/bin/env bash
# The real installer started without --lang: the language window comes first, a key or a click
# on "English" opens the English installer window, Escape ends the program quietly, and at
# 192 DPI the window is twice as large.
set -u
. "$LUMIVEX_BUILD/harness/env"
exe="$LUMIVEX_EXE"
caption='Lumivex: Orrendale · Patch Installer'
english_title='[Sorvane Games] Lumivex: Orrendale Steam Patch - Ver1.0.0 Installer (English)'
shots="$LUMIVEX_BUILD/language-startup"
mkdir -p "$shots"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Prints the X id of the visible window whose title is exactly $1, waiting up to $2 tenths of a second.
wait_window() {
  local title=$1 tenths=$2 id
  for _ in $(seq 1 "$tenths"); do
    for id in $(xdotool search --onlyvisible --name 'Installer' 2>/dev/null); do
      if [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$title" ]; then echo "$id"; return 0; fi
    done
    sleep 0.1
  done
  return 1
}

# Waits up to 15 s for the program; sets rc to its exit code (or "timeout" after killing it).
finish() {
  for _ in $(seq 1 150); do
    if ! kill -0 "$pid" 2>/dev/null; then wait "$pid"; rc=$?; return; fi
    sleep 0.1
  done
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rc=timeout
}

size_of() { xwininfo -id "$1" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}'; }

# Colour at pixel (x, y) of window $1 as "r,g,b".
grab_pixel() {
  import -display "$DISPLAY" -window "$1" "$shots/pixel.png" 2>/dev/null
  convert "$shots/pixel.png" -format "%[fx:int(255*p{$2,$3}.r+0.5)],%[fx:int(255*p{$2,$3}.g+0.5)],%[fx:int(255*p{$2,$3}.b+0.5)]" info:
}
# The same, once the window has been painted (a freshly mapped window is black): up to 3 s.
pixel_of() {
  local px
  for _ in $(seq 1 30); do
    px=$(grab_pixel "$@")
    [ "$px" != "0,0,0" ] && break
    sleep 0.1
  done
  echo "$px"
}
# True when "r,g,b" lies within 3 of the expected values on each channel.
close_to() {
  local IFS=,; set -- $1 $2
  [ $(( ($1-$4)*($1-$4) <= 9 && ($2-$5)*($2-$5) <= 9 && ($3-$6)*($3-$6) <= 9 )) = 1 ]
}

start() { wine "$exe" "$@" >/dev/null 2>&1 & pid=$!; }
park_pointer() { xdotool mousemove 5 5; }
# There is no window manager: give the window the keyboard focus the way one would, then type.
key_to() { xdotool windowfocus --sync "$1" 2>/dev/null; xdotool key "$2"; }

# 1. A key picks English; the installer window opens in English; Alt+F4 ends with code 0.
park_pointer
start
if lang=$(wait_window "$caption" 300); then
  [ "$(size_of "$lang")" = "650x280" ] || fail "language window client is $(size_of "$lang"), not 650x280"
  # Normal fill of the first button at layout (52, 128): gradient, shadow, then 0xE1FFFFFF.
  px=$(pixel_of "$lang" 52 128)
  close_to "$px" "253,252,252" || fail "first button at 96 DPI shows $px"
  key_to "$lang" e
  if main=$(wait_window "$english_title" 300); then
    wait_window "$caption" 1 >/dev/null && fail "language window still shown next to the installer window"
    key_to "$main" alt+F4
    finish
    [ "$rc" = 0 ] || fail "exit code after closing the installer window: $rc"
  else
    fail "no English installer window after pressing E"; kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  fi
else
  fail "no language window without --lang"; kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
fi

# 2. A click on the "English" button does the same.
park_pointer
start
if lang=$(wait_window "$caption" 300); then
  eval "$(xdotool getwindowgeometry --shell "$lang")"
  xdotool mousemove $((X + 521)) $((Y + 166))
  sleep 0.3
  # Under the mouse the English button turns 0xFFFFE5F0 (its fill probe at layout 444, 128).
  px=$(pixel_of "$lang" 444 128)
  close_to "$px" "255,229,240" || fail "hovered English button shows $px"
  xdotool click 1
  if main=$(wait_window "$english_title" 300); then
    key_to "$main" alt+F4
    finish
    [ "$rc" = 0 ] || fail "exit code after the click run: $rc"
  else
    fail "no English installer window after clicking English"; kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  fi
else
  fail "no language window for the click run"; kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
fi

# 3. Escape: the program ends with code 0 and never shows the installer window.
park_pointer
start
if lang=$(wait_window "$caption" 300); then
  key_to "$lang" Escape
  finish
  [ "$rc" = 0 ] || fail "exit code after Escape: $rc"
else
  fail "no language window for the Escape run"
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
fi
for id in $(xdotool search --name 'Installer' 2>/dev/null); do
  name=$(xdotool getwindowname "$id" 2>/dev/null)
  case "$name" in *Ver1.0.0*) fail "an installer window exists after Escape: $name";; esac
done

# 4. At 192 DPI the window and its drawing are twice as large.
# Back to Wine's default 96 DPI afterwards, which the other tests of this prefix expect.
trap "wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1" EXIT
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 192 /f >/dev/null 2>&1
park_pointer
start
if lang=$(wait_window "$caption" 300); then
  [ "$(size_of "$lang")" = "1300x560" ] || fail "language window client at 192 DPI is $(size_of "$lang")"
  px=$(pixel_of "$lang" 104 256)
  close_to "$px" "253,252,252" || fail "first button at 192 DPI shows $px"
  # Between the first two buttons (layout x 227) lies the bare gradient.
  px=$(pixel_of "$lang" 454 332)
  close_to "$px" "252,243,248" || fail "gap between buttons at 192 DPI shows $px"
  cp "$shots/pixel.png" "$shots/language-192dpi.png"
  key_to "$lang" Escape
  finish
  [ "$rc" = 0 ] || fail "exit code after Escape at 192 DPI: $rc"
else
  fail "no language window at 192 DPI"; kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
fi

[ "$failures" = 0 ] && echo "language start-up: all checks passed"
[ "$failures" = 0 ]
