#!/usr/bin/env bash
# Installs the Debian packages the SDK, its tests and benchmarks need.
# Run as root (or with sudo available) on Debian 12.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libjpeg-dev libpng-dev libtiff-dev zlib1g-dev libsqlite3-dev libusb-1.0-0-dev
  libx11-dev libxtst-dev
  # the preview on an X server: MIT-SHM drawing
  libxext-dev
  libgtest-dev googletest libgmock-dev libbenchmark-dev
  python3 python3-pil ffmpeg libjpeg-turbo-progs libtiff-tools pngcheck imagemagick xvfb
  # the settings dialogs' GTK 3 view module (optional) and a Japanese font for its tests
  libgtk-3-dev fonts-ipafont-gothic
  # lumvek-camsim usb-run: simulated cameras as USB devices for the libusb tests
  libumockdev-dev umockdev
  # Python package (pybind11, NumPy, pytest), GStreamer element and its test pipelines, API reference
  pybind11-dev python3-dev python3-numpy python3-pytest libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-plugins-bad python3-gi gir1.2-gstreamer-1.0 gir1.2-gst-plugins-base-1.0 doxygen
  # libFuzzer targets (scripts/fuzz-smoke.sh): clang and its sanitizer/fuzzer runtimes
  clang libclang-rt-14-dev
)

# OpenCV is only the benchmarks' peer (lumvek-bench times its demosaic and tone
# operations beside ours; never linked into the library). It is large, so it is
# installed on request: LUMVEK_BENCH_PEERS=1 ./scripts/setup-deps.sh
if [ "${LUMVEK_BENCH_PEERS:-0}" = 1 ]; then
  packages+=(libopencv-dev)
fi

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
