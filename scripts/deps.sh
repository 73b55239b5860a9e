#!/usr/bin/env bash
# Installs every Debian package that building, running and testing need.
# Idempotent: apt-get runs only when a package is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6test6 libqt6svg6 qt6-image-formats-plugins
  libgl-dev libxkbcommon-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libpulse-dev libkissfft-dev libebur128-dev libjack-jackd2-dev libsndfile1-dev
  liblo-dev liblo-tools librtmidi-dev libasound2-dev
  jackd2
  googletest libgtest-dev libgmock-dev
  clang libclang-rt-14-dev clang-format
  xvfb xauth xdotool x11-utils imagemagick
  pulseaudio pulseaudio-utils sox libsox-fmt-mp3 ffmpeg
  fonts-dejavu-core fonts-liberation
  python3
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
