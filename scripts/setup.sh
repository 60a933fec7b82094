#!/usr/bin/env bash
# Installs the Debian packages that building and testing need. Quick when all are present.
set -euo pipefail
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
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
