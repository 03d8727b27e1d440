# SPDX-License-Identifier: MIT
# Runs PROGRAM with ARGS (a list) and requires exit status EXPECTED (2, bad
# input, when not given) with a single line on standard error, which must
# contain MATCH when given.
if(NOT DEFINED EXPECTED)
    set(EXPECTED 2)
endif()
# A list written "a\;b" in add_test arrives with the backslash kept, which
# would make it one argument; it is meant as two.
string(REPLACE "\\;" ";" ARGS "${ARGS}")
execute_process(COMMAND ${PROGRAM} ${ARGS} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL EXPECTED)
    message(FATAL_ERROR "${PROGRAM} ${ARGS}: exit status ${status}, expected ${EXPECTED} (${err})")
endif()
string(STRIP "${err}" err)
string(FIND "${err}" "\n" newline)
if(err STREQUAL "" OR NOT newline EQUAL -1)
    message(FATAL_ERROR "${PROGRAM} ${ARGS}: expected one line on standard error, got '${err}'")
endif()
if(DEFINED MATCH)
    string(FIND "${err}" "${MATCH}" found)
    if(found EQUAL -1)
        message(FATAL_ERROR "${PROGRAM} ${ARGS}: '${err}' does not name '${MATCH}'")
    endif()
endif()
