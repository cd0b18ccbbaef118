#!/usr/bin/env bash
# Installs the Debian packages the build, the programs and the tests need, when any is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libfreetype-dev libfontconfig-dev libpng-dev fonts-ipafont-gothic
  zlib1g-dev libexpat1-dev libbrotli-dev
  libgtest-dev libbenchmark-dev
  xvfb xdotool x11-apps
  desktop-file-utils
  dpkg-dev file appstream
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
