# SPDX-License-Identifier: MIT
# Regenerates the bitmaps into OUT and fails unless OUT and COMMITTED hold
# the same files with the same bytes. COUNT is how many there are (12, the
# hover gauge's, by default); MODE=--logger draws the logging gauge's.
if(NOT DEFINED COUNT)
    set(COUNT 12)
endif()
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT} ${PREVIEW})
execute_process(COMMAND ${GENERATOR} ${MODE} ${OUT} --preview ${PREVIEW} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "bitmapgen failed: ${result}")
endif()

file(GLOB generated RELATIVE ${OUT} ${OUT}/*.bmp)
file(GLOB committed RELATIVE ${COMMITTED} ${COMMITTED}/*.bmp)
list(SORT generated)
list(SORT committed)
if(NOT generated STREQUAL committed)
    message(FATAL_ERROR "generated bitmaps (${generated}) differ from the committed set (${committed})")
endif()
list(LENGTH generated count)
if(NOT count EQUAL COUNT)
    message(FATAL_ERROR "expected ${COUNT} bitmaps, found ${count}")
endif()

set(different "")
foreach(name IN LISTS generated)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/${name} ${COMMITTED}/${name}
        RESULT_VARIABLE same)
    if(NOT same EQUAL 0)
        list(APPEND different ${name})
    endif()
endforeach()
if(different)
    message(FATAL_ERROR "regenerated bitmaps differ from ${COMMITTED}: ${different}")
endif()
message(STATUS "all ${count} bitmaps match; previews in ${PREVIEW}")
