# CMake generated Testfile for 
# Source directory: /work/main/tests/core
# Build directory: /work/main/build/tests/core
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
include("/work/main/build/tests/core/core_tests[1]_include.cmake")
