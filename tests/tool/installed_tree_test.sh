#!/usr/bin/env bash
# Installs the SDK into a temporary prefix and builds the installed examples
# outside the source tree, once with CMake (find_package(LumvekSdk)) and once
# with pkg-config (lumvek.pc); then runs them, and the installed lumvek,
# against a simulated camera.
#
#   installed_tree_test.sh BUILD_DIR [EXTRA_FLAGS]
# EXTRA_FLAGS: compiler/linker flags the consumers need (the sanitizer
# flags of a sanitizer build).
set -euo pipefail

build_dir=$1
extra_flags=${2:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/lumvek-installed-XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() { echo "installed tree: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build_dir" --prefix "$prefix" > "$work/install.log" || fail "cmake --install failed"

# What the install must hold.
lib=$(find "$prefix" -name 'libLumvekSdk_R13_USB3_K7.so.*.*.*' | head -n1)
[ -n "$lib" ] || fail "no versioned library installed"
soname=$(objdump -p "$lib" | awk '/SONAME/ {print $2}')
[ "$soname" = "libLumvekSdk_R13_USB3_K7.so.1" ] || fail "SONAME is '$soname'"
libdir=$(dirname "$lib")
[ -L "$libdir/libLumvekSdk_R13_USB3_K7.so.1" ] && [ -L "$libdir/libLumvekSdk_R13_USB3_K7.so" ] || fail "library links missing"
for file in include/LumvekSdk.h include/LumvekWindow.h include/lumvek/camera.hpp bin/lumvek bin/lumvek-camsim; do
  [ -e "$prefix/$file" ] || fail "$file not installed"
done
for page in lumvek lumvek-camsim; do
  [ -f "$prefix/share/man/man1/$page.1" ] || fail "man page $page.1 not installed"
  if command -v man > /dev/null; then
    man --warnings -l "$prefix/share/man/man1/$page.1" > /dev/null 2> "$work/man.log" || fail "man $page.1 fails"
    [ ! -s "$work/man.log" ] || { cat "$work/man.log" >&2; fail "man $page.1 has warnings"; }
  fi
done
if command -v doxygen > /dev/null; then
  [ -f "$prefix/share/doc/LumvekSdk/html/index.html" ] || fail "the API reference is not installed"
  grep -q "Lumvek_Initialize" -r "$prefix/share/doc/LumvekSdk/html" || fail "the API reference lacks the functions"
fi
pc_dir=$(dirname "$(find "$prefix" -name lumvek.pc | head -n1)")
examples=$(find "$prefix" -type d -path '*/examples' | head -n1)
[ -f "$examples/CMakeLists.txt" ] || fail "examples not installed"

# The installed examples, copied away from the prefix and the source tree.
cp -r "$examples" "$work/src"

# 1. CMake package.
cmake -S "$work/src" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_FLAGS="$extra_flags" -DCMAKE_CXX_FLAGS="$extra_flags" -DCMAKE_EXE_LINKER_FLAGS="$extra_flags" \
  > "$work/cmake.log" \
  || { cat "$work/cmake.log" >&2; fail "configuring against the CMake package failed"; }
cmake --build "$work/cmake-build" > "$work/cmake-build.log" \
  || { cat "$work/cmake-build.log" >&2; fail "building against the CMake package failed"; }

# 2. pkg-config.
mkdir -p "$work/pc-build"
export PKG_CONFIG_PATH=$pc_dir
for example in save_first_picture callback_frame_rate; do
  # shellcheck disable=SC2046,SC2086
  cc $extra_flags "$work/src/$example.c" -o "$work/pc-build/$example" $(pkg-config --cflags --libs lumvek) \
    || fail "building $example with pkg-config failed"
done

# Run everything against an in-process simulated camera, isolated.
export LUMVEK_DEVICE_DIR=$work/devices LUMVEK_REGISTRY_FILE=$work/registry.sqlite3
export LUMVEK_SHM_NAME=/lumvek-installed-$$ HOME=$work
mkdir -p "$LUMVEK_DEVICE_DIR"
for build in cmake-build pc-build; do
  if [ "$build" = pc-build ]; then export LD_LIBRARY_PATH=$libdir; fi
  LUMVEK_SIM_CAMERAS=product=0x3090,name=sim0,pattern=chart \
    "$work/$build/save_first_picture" "$work/$build.bmp" > "$work/run.log" 2>&1 \
    || { cat "$work/run.log" >&2; fail "$build/save_first_picture failed"; }
  [ "$(head -c 2 "$work/$build.bmp")" = BM ] || fail "$build/save_first_picture wrote no BMP"
  LUMVEK_SIM_CAMERAS=product=0x3090,name=sim0,pattern=chart \
    "$work/$build/callback_frame_rate" 3 > "$work/run.log" 2>&1 \
    || { cat "$work/run.log" >&2; fail "$build/callback_frame_rate failed"; }
  grep -q '^3 frames, measured' "$work/run.log" || fail "$build/callback_frame_rate printed no rate"
done
unset LD_LIBRARY_PATH

# The C++ camera interface: a product the C API does not open.
LUMVEK_SIM_CAMERAS=product=0x32D0,name=r12,pattern=ramp \
  "$work/cmake-build/any_product_snapshot" 0x32D0 0 "$work/r12.pgm" > "$work/run.log" 2>&1 \
  || { cat "$work/run.log" >&2; fail "cmake-build/any_product_snapshot failed"; }
[ "$(head -c 2 "$work/r12.pgm")" = P5 ] || fail "any_product_snapshot wrote no PGM"

# The installed tool finds its library by its run path.
"$prefix/bin/lumvek" --simulate snap -o "$work/tool.png" --mode 24 > "$work/run.log" 2>&1 \
  || { cat "$work/run.log" >&2; fail "installed lumvek failed"; }
# The installed Python package (when it was built) imports from the prefix's
# site-packages and finds the installed library by its run path. Not in
# sanitizer builds: the interpreter does not load the sanitizer runtime.
site=$(find "$prefix" -type d -path '*/site-packages/lumvek' | head -n1)
if [ -n "$site" ] && [ -z "$extra_flags" ]; then
  python=$(grep '^LUMVEK_PYTHON3:' "$build_dir/CMakeCache.txt" | cut -d= -f2-)
  LUMVEK_SIM_CAMERAS=product=0x3090,name=sim0,pattern=ramp PYTHONPATH=$(dirname "$site") \
    "${python:-python3}" -c 'import lumvek, sys; sys.exit(0 if len(lumvek.list_cameras()) == 1 else 1)' \
    > "$work/run.log" 2>&1 || { cat "$work/run.log" >&2; fail "the installed Python package failed"; }
  case "$(cd "$(dirname "$site")" && "${python:-python3}" -c 'import lumvek; print(lumvek.__file__)')" in
    "$prefix"/*) ;;
    *) fail "import lumvek did not load the installed package" ;;
  esac
fi

echo "installed tree: library, headers, tools, CMake package and pkg-config file work"
