# Installation: the libraries with their SONAME and version (the C SDK and
# the C++ camera interface, the core under both; the simulator module when
# it is built, sim/CMakeLists.txt), the public headers, lumvek and lumvek-camsim, a pkg-config file (lumvek.pc), a CMake
# package (find_package(LumvekSdk) -> LumvekSdk::LumvekSdk) and the examples
# with a CMakeLists.txt that builds them against the installed tree.
# Both the .pc file and the CMake package are relocatable, so
# `cmake --install build --prefix DIR` works for any DIR.
include(CMakePackageConfigHelpers)

set(LUMVEK_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/LumvekSdk)

set_target_properties(LumvekSdk_R13_USB3_K7 PROPERTIES EXPORT_NAME LumvekSdk)
set_target_properties(LumvekCamera PROPERTIES EXPORT_NAME LumvekCamera)
# The core the two sit on is installed beside them (their RUNPATH is $ORIGIN);
# it is in the export set only because they need it at link time: it has no
# public header and is not for applications.
install(TARGETS LumvekSdk_R13_USB3_K7 LumvekCamera LumvekCore EXPORT LumvekSdkTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(TARGET LumvekSdkCompanion)
  # Windows: the companion interfaces' DLL, which users of the SDK link too.
  install(TARGETS LumvekSdkCompanion EXPORT LumvekSdkTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/include/LumvekSdk.h ${PROJECT_SOURCE_DIR}/include/LumvekWindow.h
  ${PROJECT_SOURCE_DIR}/include/LumvekDevice.h ${PROJECT_SOURCE_DIR}/include/LumvekStream.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The C++ interface for every product of the family (LumvekSdk::LumvekCamera).
install(FILES ${PROJECT_SOURCE_DIR}/include/lumvek/camera.hpp DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumvek)
foreach(_program lumvek lumvek-camsim)
  if(TARGET ${_program})
    install(TARGETS ${_program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(EXPORT LumvekSdkTargets NAMESPACE LumvekSdk:: FILE LumvekSdkTargets.cmake
  DESTINATION ${LUMVEK_CMAKE_PACKAGE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/LumvekSdkConfig.cmake.in
  ${PROJECT_BINARY_DIR}/LumvekSdkConfig.cmake INSTALL_DESTINATION ${LUMVEK_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/LumvekSdkConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/LumvekSdkConfig.cmake ${PROJECT_BINARY_DIR}/LumvekSdkConfigVersion.cmake
  DESTINATION ${LUMVEK_CMAKE_PACKAGE_DIR})

# pkg-config: the prefix is found from the .pc file's own folder.
file(RELATIVE_PATH LUMVEK_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/lumvek.pc.in ${PROJECT_BINARY_DIR}/lumvek.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/lumvek.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES ${PROJECT_SOURCE_DIR}/examples/CMakeLists.txt ${PROJECT_SOURCE_DIR}/examples/save_first_picture.c
  ${PROJECT_SOURCE_DIR}/examples/callback_frame_rate.c ${PROJECT_SOURCE_DIR}/examples/any_product_snapshot.cpp
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# The udev rule that lets the logged-in user open the cameras (installed
# under the prefix; README says where to copy it on a system).
install(FILES ${PROJECT_SOURCE_DIR}/udev/60-lumvek.rules DESTINATION lib/udev/rules.d)
