#!/usr/bin/env bash
# Installs the mingw-w64 cross toolchain and Wine, and cross-builds the
# third-party libraries the SDK core needs for 64-bit Windows from Debian's
# source packages: libjpeg-turbo (version-8 interface), libpng, libtiff,
# SQLite, and GoogleTest from the host's /usr/src/googletest. Static
# libraries go to $LUMVEK_MINGW_PREFIX (default build-mingw-deps/prefix);
# a library already installed there is skipped, so a second run is quick.
# zlib comes from Debian's libz-mingw-w64-dev.
#
# Run as root on Debian 12. Each step prints how long it took.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
deps=${LUMVEK_MINGW_DEPS:-$root/build-mingw-deps}
prefix=${LUMVEK_MINGW_PREFIX:-$deps/prefix}
jobs=${LUMVEK_JOBS:-2}
triple=x86_64-w64-mingw32
mkdir -p "$deps/src" "$prefix"
cd "$deps"

step_start=0
step() { step_start=$(date +%s); echo "== $*"; }
step_done() { echo "== $1: $(( $(date +%s) - step_start )) s"; }

# --- packages -----------------------------------------------------------
step "packages"
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          libz-mingw-w64-dev wine wine64 dpkg-dev cmake ninja-build googletest
          tcl)  # tcl: SQLite's tree writes its amalgamation with tclsh
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# apt-get source reads the deb-src lines; add them beside the deb ones when
# the machine has none.
if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  cat > /etc/apt/sources.list.d/lumvek-deb-src.sources <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi
if [ ${#missing[@]} -gt 0 ] || [ "${need_update:-0}" = 1 ]; then
  apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
step_done packages

toolchain_args=(
  -G Ninja -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86_64
  -DCMAKE_C_COMPILER=$triple-gcc-posix -DCMAKE_CXX_COMPILER=$triple-g++-posix
  -DCMAKE_RC_COMPILER=$triple-windres
  -DCMAKE_FIND_ROOT_PATH="/usr/$triple;$prefix"
  -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY
  -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY
  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix"
  -DCMAKE_C_FLAGS="-D_FILE_OFFSET_BITS=64 -Wa,-muse-unaligned-vector-move"
  -DCMAKE_CXX_FLAGS="-D_FILE_OFFSET_BITS=64 -Wa,-muse-unaligned-vector-move"
  -DBUILD_SHARED_LIBS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=ON
)
if command -v ccache >/dev/null; then
  toolchain_args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# Unpacks Debian's source package $1 into $deps/src/$1 (once).
fetch_source() {
  local pkg=$1
  if [ ! -d "$deps/src/$pkg" ]; then
    local tmp="$deps/src/.$pkg.tmp"
    rm -rf "$tmp" && mkdir -p "$tmp"
    (cd "$tmp" && apt-get source -q --download-only "$pkg" >/dev/null &&
       dpkg-source --no-check -x ./*.dsc "$pkg" >/dev/null)
    mv "$tmp/$pkg" "$deps/src/$pkg"
    rm -rf "$tmp"
  fi
}

# Builds and installs a CMake project: name, marker file in the prefix, source
# dir, extra configure arguments.
build_cmake() {
  local name=$1 marker=$2 src=$3
  shift 3
  step "$name"
  if [ -e "$prefix/$marker" ]; then
    echo "   already in $prefix"
  else
    rm -rf "$deps/build/$name"
    cmake -S "$src" -B "$deps/build/$name" "${toolchain_args[@]}" "$@" >"$deps/$name.log" 2>&1 ||
      { tail -40 "$deps/$name.log"; exit 1; }
    cmake --build "$deps/build/$name" -j"$jobs" >>"$deps/$name.log" 2>&1 ||
      { tail -40 "$deps/$name.log"; exit 1; }
    cmake --install "$deps/build/$name" >>"$deps/$name.log" 2>&1 ||
      { tail -40 "$deps/$name.log"; exit 1; }
  fi
  step_done "$name"
}

# --- libjpeg-turbo: the version-8 interface (library version 80) ----------
fetch_source libjpeg-turbo
build_cmake libjpeg-turbo lib/libjpeg.a "$deps/src/libjpeg-turbo" \
  -DWITH_JPEG8=1 -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=0 -DWITH_TURBOJPEG=OFF \
  -DCMAKE_INSTALL_LIBDIR="$prefix/lib"  # its install rules take a relative libdir from the working folder

# --- libpng over Debian's mingw zlib ------------------------------------
fetch_source libpng1.6
build_cmake libpng lib/libpng.a "$deps/src/libpng1.6" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF \
  -DCMAKE_INSTALL_LIBDIR=lib
# libpng installs libpng16.a; FindPNG also looks for libpng.a.
[ -e "$prefix/lib/libpng.a" ] || cp "$prefix/lib/libpng16.a" "$prefix/lib/libpng.a" 2>/dev/null || true

# --- libtiff: uncompressed and deflate strips only, so the static archive
# needs nothing but zlib after it; its POSIX I/O (win32-io off), as the
# writer hands it a C runtime descriptor, not a system handle -------------
fetch_source tiff
build_cmake libtiff lib/libtiff.a "$deps/src/tiff" \
  -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF \
  -Djpeg=OFF -Dold-jpeg=OFF -Djbig=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Dlerc=OFF -Dlibdeflate=OFF \
  -Dzlib=ON -Dwin32-io=OFF -DCMAKE_INSTALL_LIBDIR=lib

# --- SQLite: the amalgamation in Debian's source, compiled directly -------
step sqlite3
if [ -e "$prefix/lib/libsqlite3.a" ]; then
  echo "   already in $prefix"
else
  fetch_source sqlite3
  sqlite_src="$deps/src/sqlite3"
  mkdir -p "$deps/build/sqlite3"
  if [ ! -e "$sqlite_src/sqlite3.c" ]; then
    # The Debian source carries the canonical tree; its configure script
    # writes the amalgamation.
    (cd "$deps/build/sqlite3" && "$sqlite_src/configure" --disable-tcl >"$deps/sqlite3.log" 2>&1 &&
       make -j"$jobs" sqlite3.c >>"$deps/sqlite3.log" 2>&1) || { tail -40 "$deps/sqlite3.log"; exit 1; }
    amalgamation="$deps/build/sqlite3"
  else
    amalgamation="$sqlite_src"
  fi
  $triple-gcc-posix -O2 -D_FILE_OFFSET_BITS=64 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION \
    -c "$amalgamation/sqlite3.c" -o "$deps/build/sqlite3/sqlite3.o"
  $triple-ar rcs "$prefix/lib/libsqlite3.a" "$deps/build/sqlite3/sqlite3.o"
  mkdir -p "$prefix/include"
  cp "$amalgamation/sqlite3.h" "$amalgamation/sqlite3ext.h" "$prefix/include/" 2>/dev/null ||
    cp "$amalgamation/sqlite3.h" "$prefix/include/"
fi
step_done sqlite3

# --- GoogleTest and GoogleMock from the host's sources ---------------------
build_cmake googletest lib/libgtest.a /usr/src/googletest \
  -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF -DCMAKE_INSTALL_LIBDIR=lib

echo "== cross libraries ready in $prefix"
