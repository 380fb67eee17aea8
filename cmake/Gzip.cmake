# SPDX-License-Identifier: GPL-3.0-or-later
# cmake -DIN=<file> -DOUT=<file.gz> -P Gzip.cmake: compresses IN into OUT the way Debian
# packages want it (best compression, no file name or time stamp inside, so builds repeat).
execute_process(COMMAND gzip -9 -n -c "${IN}" OUTPUT_FILE "${OUT}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE "${OUT}")
  message(FATAL_ERROR "gzip failed on ${IN}")
endif()
