#!/usr/bin/env bash
# Installs the Debian packages the project needs. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libqt5opengl5-dev
  libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri mesa-utils
  xvfb xauth
  clang libclang-rt-dev clang-format
  slic3r
  # The slicer's own window ("Open Slic3r"): its toolkit, GL canvas and web client.
  libwx-perl libwx-glcanvas-perl libopengl-perl libwww-perl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
