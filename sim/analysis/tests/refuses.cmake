# SPDX-License-Identifier: MIT
# Runs PROGRAM with bad options (ARGS, a list) and requires exit status 2
# with a single line on standard error.
execute_process(COMMAND ${PROGRAM} ${ARGS} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 2)
    message(FATAL_ERROR "${PROGRAM} ${ARGS}: exit status ${status}, expected 2 (${err})")
endif()
string(STRIP "${err}" err)
string(FIND "${err}" "\n" newline)
if(err STREQUAL "" OR NOT newline EQUAL -1)
    message(FATAL_ERROR "${PROGRAM} ${ARGS}: expected one line on standard error, got '${err}'")
endif()
