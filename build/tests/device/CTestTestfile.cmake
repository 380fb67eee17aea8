# CMake generated Testfile for 
# Source directory: /work/main/tests/device
# Build directory: /work/main/build/tests/device
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
include("/work/main/build/tests/device/device_tests[1]_include.cmake")
