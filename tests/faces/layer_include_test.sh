#!/usr/bin/env bash
# The include roots hold the layers apart: with the include path the usb
# component compiles with, a header of its own and of the platform below it
# are found, and a header of the camera layer above it is not.
# usage: layer_include_test.sh CXX_COMPILER -IDIR...
set -euo pipefail
compiler=$1
shift
probe() {
  local header=$1
  shift
  printf '#include "%s"\n' "$header" | "$compiler" -std=c++20 -fsyntax-only -x c++ "$@" - 2>&1
}
failures=0
for header in usb/controller_protocol.h platform/fx3/usb_device.h; do
  out=$(probe "$header" "$@") || { echo "FAIL: the usb layer cannot include $header: $out"; failures=$((failures + 1)); }
done
for header in camera/product_table.h instance/lumvek.h sim/simulated_camera.h; do
  if out=$(probe "$header" "$@"); then
    echo "FAIL: the usb layer can include $header, a higher layer's header"
    failures=$((failures + 1))
  elif [[ "$out" != *"No such file"* ]]; then
    echo "FAIL: including $header failed for another reason: $out"
    failures=$((failures + 1))
  fi
done
[[ $failures -eq 0 ]] || exit 1
echo "the usb layer sees its own and the platform's headers only"
