# SPDX-License-Identifier: MIT
# Flies a scenario with the logger writing into a folder of its own, emptied
# first, so the logs of one run are all the folder holds and runs do not
# pile logs up. A scenario that declares outcome = "fails" is judged as
# declared_outcome.cmake judges it; any other must exit with status 0.
#
#   cmake -DSIM=... [-DEMULATOR=...] -DSCENARIO=... -DLOG_DIR=... -DWORK_DIR=...
#         -DSECONDS=120 [-DDECLARED=TRUE] -P fresh_log_dir.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${LOG_DIR})
file(MAKE_DIRECTORY ${LOG_DIR})
if(DECLARED)
    set(ARGS "--log-dir|${LOG_DIR}")
    include(${CMAKE_CURRENT_LIST_DIR}/declared_outcome.cmake)
    return()
endif()
execute_process(COMMAND ${EMULATOR} ${SIM} --log-dir ${LOG_DIR} ${SCENARIO}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT ${SECONDS})
if(status STREQUAL "77")
    message("skipped: the scenario moves the stick, and this host cannot")
    return()
endif()
if(NOT status STREQUAL "0")
    message(FATAL_ERROR "exit status '${status}', expected 0; stderr: ${err}\n${out}")
endif()
message("${out}")
