# SPDX-License-Identifier: MIT
# Flies an identification flight with the logger recording, identifies the
# hover model from the log and holds each term that sets the loops to the
# side of its tolerance this build is known to land on: WITHIN the terms
# that are within 20 % of the flight model's linearisation, OUTSIDE those
# that are not (said in the closing of each flight's report, with the
# reason). A term that moves across its tolerance either way fails the test,
# so neither a better identification nor a worse one goes unnoticed. The
# latency must always be within one physics step.
#
#   cmake -DSIM=... -DIDENT=... -DSCENARIO=... -DAIRCRAFT=... -DLOG_DIR=...
#         "-DWITHIN=Me;Nd" "-DOUTSIDE=Mq;Lp" -P identified_against_linearisation.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${LOG_DIR})
file(MAKE_DIRECTORY ${LOG_DIR})
execute_process(COMMAND ${SIM} --log-dir ${LOG_DIR} ${SCENARIO}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 120)
if(NOT status STREQUAL "0")
    message(FATAL_ERROR "the flight: exit status '${status}'; ${err}\n${out}")
endif()
file(GLOB logs ${LOG_DIR}/hoverlog-*.csv)
list(LENGTH logs count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "the flight wrote ${count} logs, expected 1")
endif()
execute_process(COMMAND ${IDENT} ${logs} --against ${AIRCRAFT} --out ${LOG_DIR}/plant.toml
    RESULT_VARIABLE status OUTPUT_VARIABLE report ERROR_VARIABLE err TIMEOUT 300)
if(NOT status STREQUAL "0")
    message(FATAL_ERROR "hoverident: exit status '${status}'; ${err}")
endif()
string(REPLACE "\n" ";" lines "${report}")
set(problems "")
foreach(term ${WITHIN} ${OUTSIDE} latency)
    set(found "")
    foreach(line ${lines})
        if(line MATCHES "^\\| ${term} \\|.*\\| (yes|\\*\\*no\\*\\*) \\|[^|]*\\|$")
            set(found ${CMAKE_MATCH_1})
            set(row "${line}")
        endif()
    endforeach()
    if(found STREQUAL "")
        list(APPEND problems "${term}: no row in the report")
    elseif(term IN_LIST OUTSIDE AND found STREQUAL "yes")
        list(APPEND problems "${term} is now within its tolerance (declared outside): ${row}")
    elseif(NOT term IN_LIST OUTSIDE AND NOT found STREQUAL "yes")
        list(APPEND problems "${term} is outside its tolerance: ${row}")
    endif()
endforeach()
if(problems)
    string(REPLACE ";" "\n" problems "${problems}")
    message(FATAL_ERROR "${problems}\n\n${report}")
endif()
message("${report}")
