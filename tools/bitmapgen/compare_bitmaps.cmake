# SPDX-License-Identifier: MIT
# Regenerates the bitmaps into OUT and fails unless OUT and COMMITTED hold
# the same files with the same bytes.
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT} ${PREVIEW})
execute_process(COMMAND ${GENERATOR} ${OUT} --preview ${PREVIEW} RESULT_VARIABLE result)
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
if(NOT count EQUAL 12)
    message(FATAL_ERROR "expected 12 bitmaps, found ${count}")
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
    message(FATAL_ERROR "regenerated bitmaps differ from gauge/display/bitmaps: ${different}")
endif()
message(STATUS "all ${count} bitmaps match; previews in ${PREVIEW}")
