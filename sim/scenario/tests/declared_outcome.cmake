# SPDX-License-Identifier: MIT
# Flies a scenario whose file declares outcome = "fails" and passes only when
# the run ends as the file says: exit status 1, and the expectations the
# summary marks FAIL exactly those the file names in `failing` (the JSON
# summary must say the same). Any other status, a crash, a hang, a run that
# holds more or fails more, fails the test.
#
#   cmake -DSIM=... [-DEMULATOR=...] -DSCENARIO=... -DWORK_DIR=... -DSECONDS=60
#         [-DARGS="a|b"] -P declared_outcome.cmake
#
# Status 77 (the Windows host without the DirectInput stand-in cannot move
# the stick) prints "skipped: ", which the test takes as a skip.
cmake_minimum_required(VERSION 3.25)

get_filename_component(name ${SCENARIO} NAME_WE)
file(MAKE_DIRECTORY ${WORK_DIR})
set(json ${WORK_DIR}/${name}.json)
file(REMOVE ${json})
string(REPLACE "|" ";" args "${ARGS}")
execute_process(COMMAND ${EMULATOR} ${SIM} ${args} --summary-json ${json} ${SCENARIO}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT ${SECONDS})
if(status STREQUAL "77")
    message("skipped: the scenario moves the stick, and this host cannot")
    return()
endif()
if(NOT status STREQUAL "1")
    message(FATAL_ERROR "exit status '${status}', expected 1 (the declared failures); stderr: ${err}\n${out}")
endif()

# The summary's verdicts: "  [held] <text>  (<detail>)" or "  [FAIL] ...".
string(REGEX MATCHALL "\n  \\[(held|FAIL)\\] [^\n]*" verdicts "\n${out}")
list(LENGTH verdicts verdict_count)
if(verdict_count EQUAL 0)
    message(FATAL_ERROR "the summary marks no expectation held or FAIL:\n${out}")
endif()
set(failed_in_summary "")
foreach(line IN LISTS verdicts)
    if(line MATCHES "^\n  \\[FAIL\\] (.*)$")
        string(REGEX REPLACE "  \\(.*$" "" text "${CMAKE_MATCH_1}")
        list(APPEND failed_in_summary "${text}")
    endif()
endforeach()

file(READ ${json} doc)
string(JSON declared ERROR_VARIABLE problem GET "${doc}" runs 0 declared_outcome)
if(problem OR NOT declared STREQUAL "fails")
    message(FATAL_ERROR "${SCENARIO} does not declare outcome = \"fails\" (${declared}${problem})")
endif()
set(named "")
string(JSON count LENGTH "${doc}" runs 0 declared_failing)
if(count EQUAL 0)
    message(FATAL_ERROR "${SCENARIO} declares outcome = \"fails\" but names no failing expectation")
endif()
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
    string(JSON text GET "${doc}" runs 0 declared_failing ${i})
    list(APPEND named "${text}")
endforeach()
set(failed_in_json "")
string(JSON count LENGTH "${doc}" runs 0 expectations)
if(NOT count EQUAL verdict_count)
    message(FATAL_ERROR "the JSON summary has ${count} expectations, the summary ${verdict_count}")
endif()
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
    string(JSON held GET "${doc}" runs 0 expectations ${i} held)
    if(NOT held)
        string(JSON text GET "${doc}" runs 0 expectations ${i} text)
        list(APPEND failed_in_json "${text}")
    endif()
endforeach()

foreach(list named failed_in_summary failed_in_json)
    list(SORT ${list})
endforeach()
if(NOT failed_in_json STREQUAL failed_in_summary)
    message(FATAL_ERROR "the JSON summary fails '${failed_in_json}', the summary '${failed_in_summary}'")
endif()
if(NOT failed_in_summary STREQUAL named)
    set(unexpected ${failed_in_summary})
    list(REMOVE_ITEM unexpected ${named})
    set(missing ${named})
    list(REMOVE_ITEM missing ${failed_in_summary})
    message(FATAL_ERROR "${name} did not fail as its file declares.\n"
        "  failed, but not declared: ${unexpected}\n"
        "  declared, but held: ${missing}\n${out}")
endif()
