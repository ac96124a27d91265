#!/usr/bin/env bash
# Installs the Debian packages the build, the servers and the tests need, only when some are missing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang
  qt6-base-dev libgl-dev
  libpulse-dev pulseaudio pulseaudio-utils
  libopus-dev libcurl4-openssl-dev libssl-dev libcpp-httplib-dev libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils x11-xserver-utils xdotool imagemagick espeak-ng sox libsox-fmt-all
  fonts-liberation fonts-dejavu-core openssl ca-certificates
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installation des paquets manquants : ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
