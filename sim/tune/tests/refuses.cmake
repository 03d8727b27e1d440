# SPDX-License-Identifier: MIT
# Runs hovertune with one bad option (ARGS) and requires
# exit status 2 with a single line on standard error.
execute_process(COMMAND ${TUNE} ${ARGS} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 2)
    message(FATAL_ERROR "hovertune ${ARGS}: exit status ${status}, expected 2 (${err})")
endif()
string(STRIP "${err}" err)
string(FIND "${err}" "\n" newline)
if(err STREQUAL "" OR NOT newline EQUAL -1)
    message(FATAL_ERROR "hovertune ${ARGS}: expected one line on standard error, got '${err}'")
endif()
