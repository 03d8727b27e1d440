# SPDX-License-Identifier: MIT
# Flies one scenario twice and requires byte-identical traces: the host and
# the flight model keep no clock and no randomness beyond the scenario's seed.
# Variables: SIM, SCENARIO, OUT_DIR, and EMULATOR when the program needs one.
file(MAKE_DIRECTORY ${OUT_DIR})
foreach(run first second)
    execute_process(COMMAND ${EMULATOR} ${SIM} --quiet --trace ${OUT_DIR}/repeat.${run}.csv ${SCENARIO}
        RESULT_VARIABLE status)
    if(NOT status MATCHES "^[01]$")
        message(FATAL_ERROR "the ${run} run ended with ${status}")
    endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT_DIR}/repeat.first.csv ${OUT_DIR}/repeat.second.csv
    RESULT_VARIABLE same)
if(NOT same EQUAL 0)
    message(FATAL_ERROR "two runs of ${SCENARIO} gave different traces")
endif()
