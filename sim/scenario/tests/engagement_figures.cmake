# SPDX-License-Identifier: MIT
# The figures the guide quotes of engaging out of trim on the Bo-105 class:
# the phase table and the notes hoversim prints for
# scenarios/engage_bump_and_reset.toml, kept in FIGURES. Fails when the run
# gives other figures than the file, or when the guide quotes a figure the
# file does not give. With -DWRITE=ON it writes the file from the run.
#
#   cmake -DSIM=... -DSCENARIO=... -DFIGURES=... -DGUIDE=... [-DWRITE=ON] -P engagement_figures.cmake
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${SIM} ${SCENARIO} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
    TIMEOUT 120)
# 0 or 1: flown (whether its expectations hold is the scenario's own test).
if(NOT status MATCHES "^[01]$")
    message(FATAL_ERROR "hoversim ended with '${status}': ${err}")
endif()
# The phase table: its two heading lines and a row per phase, up to the
# blank line; then every note.
if(NOT "\n${out}" MATCHES "\n(phase [^\n]*\n[^\n]*\n([^\n]+\n)+)")
    message(FATAL_ERROR "no phase table in the summary:\n${out}")
endif()
set(table "${CMAKE_MATCH_1}")
string(REGEX MATCHALL "\nnote: [^\n]*" notes "\n${out}")
get_filename_component(scenario_name ${SCENARIO} NAME)
set(figures "# hoversim scenarios/${scenario_name}: its phase table and notes\n"
    "# (cmake -DSIM=build/dev/sim/scenario/hoversim -DSCENARIO=scenarios/${scenario_name}\n"
    "#  -DFIGURES=docs/figures/engagement.txt -DWRITE=ON -P sim/scenario/tests/engagement_figures.cmake)\n"
    "${table}")
foreach(note IN LISTS notes)
    string(SUBSTRING "${note}" 1 -1 note)
    string(APPEND figures "${note}\n")
endforeach()
string(JOIN "" figures ${figures})

if(WRITE)
    file(WRITE ${FIGURES} "${figures}")
    return()
endif()
file(READ ${FIGURES} committed)
if(NOT committed STREQUAL figures)
    message(FATAL_ERROR "${FIGURES} is not what the run gives now; the run gives:\n${figures}\n"
        "Write it again with -DWRITE=ON (the command in its first lines) and check docs/guide.md against it.")
endif()

# What the guide quotes, against the file. Its text wraps, so it is read as
# one line.
file(READ ${GUIDE} guide)
string(REGEX REPLACE "[ \n]+" " " guide "${guide}")
# A figure with one decimal, rounded to a whole number as the guide writes it.
function(whole value result)
    if(NOT value MATCHES "^([0-9]+)\\.([0-9])")
        message(FATAL_ERROR "not a number: ${value}")
    endif()
    set(number ${CMAKE_MATCH_1})
    if(CMAKE_MATCH_2 GREATER_EQUAL 5)
        math(EXPR number "${number} + 1")
    endif()
    set(${result} ${number} PARENT_SCOPE)
endfunction()
function(quoted phrase)
    string(FIND "${guide}" "${phrase}" at)
    if(at EQUAL -1)
        message(SEND_ERROR "docs/guide.md does not say '${phrase}', which ${FIGURES} gives")
    endif()
endfunction()
set(number "[-+]?[0-9]+")
if(NOT figures MATCHES "\nnote: engaged at ([0-9.]+) s, the first commands stepped: collective (${number}) \\((${number}) to (${number})\\), pedals (${number}) [^,]*, fore-aft cyclic (${number}) [^,]*, lateral cyclic (${number})")
    message(FATAL_ERROR "no note of the first engagement's step in ${FIGURES}")
endif()
whole(${CMAKE_MATCH_1} first_engaged)
quoted("by ${CMAKE_MATCH_2} (${CMAKE_MATCH_3} to ${CMAKE_MATCH_4},")
quoted("the pedals by ${CMAKE_MATCH_5},")
quoted("the cyclic by ${CMAKE_MATCH_6} fore-aft and ${CMAKE_MATCH_7} lateral")
quoted("out of trim at ${first_engaged} s")
string(REGEX MATCHALL "\nnote: engaged at [^\n]*" engagements "${figures}")
list(GET engagements 1 second)
if(NOT second MATCHES "engaged at ([0-9.]+) s, the first commands stepped: collective (${number}) \\((${number}) to (${number})\\)")
    message(FATAL_ERROR "no note of the second engagement's step in ${FIGURES}")
endif()
whole(${CMAKE_MATCH_1} second_engaged)
quoted("by ${CMAKE_MATCH_2} (to ${CMAKE_MATCH_4})")
quoted("second engagement at ${second_engaged} s")
# The rows: name, from, to | height rms, max | speed rms, max | heading
# change, max | position | capture | engaged.
if(NOT figures MATCHES "\nengaged, 500 ft +([0-9.]+) +([0-9.]+) \\| +[0-9.]+ +([0-9.]+) \\|")
    message(FATAL_ERROR "no row 'engaged, 500 ft' in ${FIGURES}")
endif()
whole(${CMAKE_MATCH_3} height_max)
quoted("strays up to ${height_max} ft from 500 ft")
whole(${CMAKE_MATCH_2} let_go)
quoted("the disengagement at ${let_go} s")
if(NOT figures MATCHES "\nagain, to 100 ft [^|]*\\|[^|]*\\|[^|]*\\|[^|]*\\|[^|]*\\| +([0-9.]+) \\|")
    message(FATAL_ERROR "no capture time in the row 'again, to 100 ft' of ${FIGURES}")
endif()
whole(${CMAKE_MATCH_1} capture)
quoted("captured ${capture} s after the press")
