# One subsystem folder (DIR, relative to the calling CMakeLists.txt; default:
# its own folder) is compiled once, into lumvek_<name>_objects; the same
# objects make
#   - lumvek_<name>, a static library of that folder alone, for the unit
#     tests that drive one layer (each test program holds one copy), and
#   - the share of that folder in libLumvekCore.so (src/CMakeLists.txt), the
#     one copy of the stack every face of the SDK uses in an application.
# Sources are every .cpp below the folder, so adding a file needs no CMake
# edit. DEPENDS names other components (lumvek_*) and outside libraries;
# HEADERS names components whose headers it reads without linking them (the
# protocol and register maps the simulator shares with the library).
#
# The build enforces the layers: a component's headers are reached as
# "<folder>/..." through an include root of its own (a folder holding one
# link, <folder> -> the component's folder), and a component sees only its
# own root and those of what it DEPENDS on or reads HEADERS of; a lower layer
# that includes a higher one's header does not compile.
# The objects are position-independent with default visibility (the core
# exports its internals to the faces above it; the faces' own version
# scripts decide what an application sees) and are compiled with
# -fno-semantic-interposition, so that calls inside the core are bound and
# inlined as in a static build.
function(lumvek_component name)
  cmake_parse_arguments(ARG "" "DIR" "DEPENDS;EXCLUDE;HEADERS" ${ARGN})
  set(_root ${CMAKE_CURRENT_SOURCE_DIR})
  if(ARG_DIR)
    set(_root ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_DIR})
  endif()
  get_filename_component(_folder ${_root} NAME)
  set(_include_root ${PROJECT_BINARY_DIR}/include-roots/${name})
  file(MAKE_DIRECTORY ${_include_root})
  file(CREATE_LINK ${_root} ${_include_root}/${_folder} SYMBOLIC)
  set(_includes ${_include_root} ${PROJECT_SOURCE_DIR}/include)
  foreach(_component IN LISTS ARG_HEADERS)
    list(APPEND _includes ${PROJECT_BINARY_DIR}/include-roots/${_component})
  endforeach()
  file(GLOB_RECURSE _sources CONFIGURE_DEPENDS ${_root}/*.cpp ${_root}/*.c)
  foreach(_ex IN LISTS ARG_EXCLUDE)
    list(FILTER _sources EXCLUDE REGEX "${_ex}")
  endforeach()
  # Components link the objects' usage requirements of the components below
  # (never their objects: those belong to the static library or the core).
  set(_object_deps "")
  set(_static_deps "")
  foreach(_dep IN LISTS ARG_DEPENDS)
    if(_dep MATCHES "^lumvek_")
      list(APPEND _object_deps ${_dep}_objects)
    else()
      list(APPEND _object_deps ${_dep})
    endif()
    list(APPEND _static_deps ${_dep})
  endforeach()
  if(NOT _sources)
    add_library(lumvek_${name}_objects INTERFACE)
    target_include_directories(lumvek_${name}_objects INTERFACE ${_includes})
    target_link_libraries(lumvek_${name}_objects INTERFACE ${_object_deps})
    add_library(lumvek_${name} INTERFACE)
    target_link_libraries(lumvek_${name} INTERFACE lumvek_${name}_objects ${_static_deps})
    return()
  endif()
  add_library(lumvek_${name}_objects OBJECT ${_sources})
  target_include_directories(lumvek_${name}_objects PUBLIC ${_includes})
  target_link_libraries(lumvek_${name}_objects PUBLIC ${_object_deps})
  set_target_properties(lumvek_${name}_objects PROPERTIES
    CXX_VISIBILITY_PRESET default C_VISIBILITY_PRESET default VISIBILITY_INLINES_HIDDEN OFF)
  target_compile_options(lumvek_${name}_objects PRIVATE -fno-semantic-interposition)
  add_library(lumvek_${name} STATIC)
  target_link_libraries(lumvek_${name} PUBLIC lumvek_${name}_objects ${_static_deps})
endfunction()

# One GoogleTest executable per test folder: every .cpp in it. The shared
# test main (tests/support) gives each test process its own registry file,
# shared-memory name and device directory.
# WIN32_EXCLUDE names the folder's files that the Windows build leaves out
# (tests of Linux-only parts, or that need fork, /proc and the like).
function(lumvek_test name)
  cmake_parse_arguments(ARG "" "" "LIBS;PROPERTIES;WIN32_EXCLUDE" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(WIN32)
    foreach(_skip IN LISTS ARG_WIN32_EXCLUDE)
      list(REMOVE_ITEM _sources ${CMAKE_CURRENT_SOURCE_DIR}/${_skip})
    endforeach()
  endif()
  if(NOT _sources)
    # A suite whose first test file is still being written.
    return()
  endif()
  add_executable(test_${name} ${_sources})
  target_link_libraries(test_${name} PRIVATE lumvek_test_support ${ARG_LIBS} GTest::gtest GTest::gmock)
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST
                       PROPERTIES TIMEOUT 300 LABELS ${name} ${ARG_PROPERTIES})
endfunction()
