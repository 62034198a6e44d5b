# One static library per subsystem folder (DIR, relative to the calling
# CMakeLists.txt; default: its own folder). Sources are every .cpp below the
# folder, so adding a file needs no CMake edit. Every component is compiled
# position-independent with hidden visibility: only the exports in src/api/
# leave the shared library.
function(lumvek_component name)
  cmake_parse_arguments(ARG "" "DIR" "DEPENDS;EXCLUDE" ${ARGN})
  set(_root ${CMAKE_CURRENT_SOURCE_DIR})
  if(ARG_DIR)
    set(_root ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_DIR})
  endif()
  file(GLOB_RECURSE _sources CONFIGURE_DEPENDS ${_root}/*.cpp ${_root}/*.c)
  foreach(_ex IN LISTS ARG_EXCLUDE)
    list(FILTER _sources EXCLUDE REGEX "${_ex}")
  endforeach()
  if(NOT _sources)
    add_library(lumvek_${name} INTERFACE)
    target_include_directories(lumvek_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/include)
    target_link_libraries(lumvek_${name} INTERFACE ${ARG_DEPENDS})
    return()
  endif()
  add_library(lumvek_${name} STATIC ${_sources})
  target_include_directories(lumvek_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/include)
  target_link_libraries(lumvek_${name} PUBLIC ${ARG_DEPENDS})
endfunction()

# One GoogleTest executable per test folder: every .cpp in it. The shared
# test main (tests/support) gives each test process its own registry file,
# shared-memory name and device directory.
function(lumvek_test name)
  cmake_parse_arguments(ARG "" "" "LIBS;PROPERTIES" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT _sources)
    # A suite whose first test file is still being written.
    return()
  endif()
  add_executable(test_${name} ${_sources})
  target_link_libraries(test_${name} PRIVATE lumvek_test_support ${ARG_LIBS} GTest::gtest GTest::gmock)
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST
                       PROPERTIES TIMEOUT 300 LABELS ${name} ${ARG_PROPERTIES})
endfunction()
