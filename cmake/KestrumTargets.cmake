# SPDX-License-Identifier: GPL-3.0-or-later
# Common compile settings and small helpers for the layer libraries and their tests.

add_library(kestrum_options INTERFACE)
target_compile_options(kestrum_options INTERFACE -Wall -Wextra -Wpedantic -Werror
  # Aggregates are initialised by naming only the fields that differ from their defaults.
  -Wno-missing-field-initializers)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # GCC 12 reports std::string concatenation as overlapping copies at -O3 (a known false
  # positive of -Wrestrict in its string inlining).
  target_compile_options(kestrum_options INTERFACE -Wno-restrict)
endif()
target_include_directories(kestrum_options INTERFACE ${PROJECT_SOURCE_DIR}/src)

if(KESTRUM_SANITIZE)
  string(REPLACE "," ";" _kestrum_sanitizers "${KESTRUM_SANITIZE}")
  foreach(_s IN LISTS _kestrum_sanitizers)
    target_compile_options(kestrum_options INTERFACE -fsanitize=${_s} -fno-omit-frame-pointer)
    target_link_options(kestrum_options INTERFACE -fsanitize=${_s})
  endforeach()
  if("undefined" IN_LIST _kestrum_sanitizers)
    target_compile_options(kestrum_options INTERFACE -fno-sanitize-recover=undefined)
  endif()
endif()

# Test programs are compiled lightly: their own code is not what runs hot (the layers are), and
# full optimisation with full debug information of the test macros doubles the build. Line
# tables stay for the failure and sanitizer reports.
add_library(kestrum_test_options INTERFACE)
target_compile_options(kestrum_test_options INTERFACE -O1 -g1)

# kestrum_layer(<name> SOURCES ... [DEPS ...]) builds the static library kestrum_<name>.
function(kestrum_layer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(kestrum_${name} STATIC ${ARG_SOURCES})
  target_link_libraries(kestrum_${name} PUBLIC kestrum_options ${ARG_DEPS})
endfunction()

# kestrum_tests(<name> SOURCES ... [DEPS ...]) builds one GoogleTest executable and registers
# every test in it with CTest.
function(kestrum_tests name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  find_package(GTest REQUIRED)
  include(GoogleTest)
  add_executable(${name}_tests ${ARG_SOURCES})
  target_link_libraries(${name}_tests PRIVATE ${ARG_DEPS} kestrum_test_options GTest::gtest
    GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name}_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS ${name})
endfunction()
