#!/usr/bin/env bash
# Installs the Debian packages that building and testing need. Quick when all are present.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

packages=(
  cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-i686-dev mingw-w64-x86-64-dev
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  googletest libstb-dev
  wine wine64 fonts-wine fonts-wqy-microhei fonts-liberation
  xvfb xauth xdotool x11-utils imagemagick strace
  python3 python3-pefile vorbis-tools sox zip unzip pulseaudio pulseaudio-utils
  openssl osslsigncode
)
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The shipped installer is 32-bit: Wine runs it through wine32:i386, which is only installed where
# the kernel runs 32-bit code (elsewhere its loader would break every Wine run, and the tests of the
# shipped exe say they were skipped). A Wine prefix made before wine32 was installed stops working;
# the tests make theirs afresh on every run.
if "$here/can-run-32bit.sh"; then
  if ! installed wine32:i386; then
    echo "setup: installing wine32:i386 to run the shipped 32-bit installer"
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends wine32:i386
  fi
else
  echo "setup: this kernel does not run 32-bit code, so wine32 is not installed and the tests of the shipped 32-bit exe will be skipped"
fi
