#!/usr/bin/env bash
# Installs the Debian packages the SDK, its tests and benchmarks need.
# Run as root (or with sudo available) on Debian 12.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libjpeg-dev libpng-dev libtiff-dev zlib1g-dev libsqlite3-dev libusb-1.0-0-dev
  libx11-dev
  libgtest-dev googletest libgmock-dev libbenchmark-dev
  python3 python3-pil ffmpeg libjpeg-turbo-progs libtiff-tools pngcheck imagemagick xvfb
  # lumvek-camsim usb-run: simulated cameras as USB devices for the libusb tests
  libumockdev-dev umockdev
  # lumvek-bench: OpenCV's demosaic and tone operations timed beside ours (never linked into the library)
  libopencv-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
