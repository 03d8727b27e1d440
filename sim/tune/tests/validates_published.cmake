# SPDX-License-Identifier: MIT
# Flies a published string with --validate and requires the paragraph the
# tune that found it wrote (its holds.txt), word for word, and the exit
# status that paragraph implies (0 holds, 1 does not).
#   cmake -DTUNE=... -DAIRCRAFT=bo105 -DTUNING=docs/tuning/bo105 -DOUT=... -P validates_published.cmake
file(STRINGS ${TUNING}/parameters.txt parameters LIMIT_COUNT 1)
file(READ ${TUNING}/holds.txt published)
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${TUNE} --aircraft ${AIRCRAFT} --validate "${parameters}" --out ${OUT}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 600)
string(FIND "${published}" "the string holds on it" holds)
if(holds EQUAL -1)
    set(expected 1)
else()
    set(expected 0)
endif()
if(NOT status STREQUAL "${expected}")
    message(FATAL_ERROR "exit status '${status}', expected ${expected}; ${err}")
endif()
file(READ ${OUT}/holds.txt flown)
if(NOT flown STREQUAL published)
    message(FATAL_ERROR "--validate says\n${flown}\nthe tune said\n${published}")
endif()
