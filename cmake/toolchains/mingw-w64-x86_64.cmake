# Cross-compiling the SDK for 64-bit Windows with mingw-w64 on Debian 12.
#
#   scripts/cross-deps-mingw.sh            # the third-party libraries, once
#   cmake -S . -B build-mingw -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
#   ctest --test-dir build-mingw           # the test programs run under Wine
#
# LUMVEK_MINGW_PREFIX names the folder the cross-built libraries were
# installed into (default: build-mingw-deps/prefix beside this source tree).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
# The -posix thread model: the -win32 one has no std::thread or std::mutex.
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_AR ${_triple}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${_triple}-ranlib CACHE FILEPATH "")

get_filename_component(_source_root ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)
if(DEFINED ENV{LUMVEK_MINGW_PREFIX})
  set(LUMVEK_MINGW_PREFIX $ENV{LUMVEK_MINGW_PREFIX} CACHE PATH "Cross-built third-party libraries")
else()
  set(LUMVEK_MINGW_PREFIX ${_source_root}/build-mingw-deps/prefix CACHE PATH "Cross-built third-party libraries")
endif()
# Try-compile projects see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LUMVEK_MINGW_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${_triple} ${LUMVEK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must see only the cross libraries, never the host's GTK,
# GStreamer or libusb.
set(ENV{PKG_CONFIG_LIBDIR} ${LUMVEK_MINGW_PREFIX}/lib/pkgconfig:/usr/${_triple}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Test programs and gtest discovery run through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)

# 64-bit off_t for fseeko/ftello (otherwise a seek to 5 GiB lands at 1 GiB).
# GCC bug 54412: mingw-w64 does not align the stack for AVX spills, so
# aligned vector moves of stack slots fault; the assembler turns them into
# unaligned ones.
set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64 -Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-D_FILE_OFFSET_BITS=64 -Wa,-muse-unaligned-vector-move")
# The C and C++ runtimes and winpthread are linked statically (-static: every
# library found as an archive; the system DLLs' import libraries are archives
# too), so the DLLs import only KERNEL32, msvcrt and other system DLLs.
foreach(_kind EXE SHARED MODULE)
  set(CMAKE_${_kind}_LINKER_FLAGS_INIT "-static")
endforeach()
# Debian's mingw zlib comes as an import library and an archive: the archive,
# so that no zlib1.dll has to travel with the SDK.
set(ZLIB_USE_STATIC_LIBS ON)
