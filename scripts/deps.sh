#!/usr/bin/env bash
# Installs the Debian 12 packages Kelvane needs that are missing.
#   deps.sh run   what building and running needs
#   deps.sh test  that, plus what the test suite needs
set -euo pipefail
kind=${1:-run}
pkgs=(qt6-base-dev libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
      libmp3lame-dev ffmpeg libespeak-ng-dev espeak-ng libcdio-dev libcdio-paranoia-dev libburn-dev
      libisofs-dev libpulse-dev pulseaudio pulseaudio-utils pavucontrol xvfb xauth sox pkg-config
      ninja-build cmake g++ libgtest-dev libgmock-dev ccache zlib1g-dev genisoimage)
if [ "$kind" = test ]; then
  pkgs+=(libtag1-dev python3-mutagen clang-14 libclang-rt-14-dev dbus desktop-file-utils xorriso udftools p7zip-full)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
