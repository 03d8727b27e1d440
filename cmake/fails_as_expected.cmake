# SPDX-License-Identifier: MIT
# A test that a command fails the way it should: it must exit with STATUS and
# print a line matching MESSAGE (a regular expression, on standard output or
# standard error). Any other status, a crash or another message fails the
# test, where CTest's WILL_FAIL would pass all of them.
#   cmake -DSTATUS=1 -DMESSAGE=regex "-DCOMMAND=program;arg;..." -P fails_as_expected.cmake
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REPLACE ";" " " shown "${COMMAND}")
if(NOT "${status}" STREQUAL "${STATUS}")
    message(FATAL_ERROR "${shown}: exit status ${status}, expected ${STATUS}\n${out}${err}")
endif()
if(NOT "${out}${err}" MATCHES "${MESSAGE}")
    message(FATAL_ERROR "${shown}: no line matching '${MESSAGE}' in\n${out}${err}")
endif()
message(STATUS "exit status ${status}, as expected, with: ${CMAKE_MATCH_0}")
