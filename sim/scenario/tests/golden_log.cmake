# SPDX-License-Identifier: MIT
# Flies a short scenario with the logger on the panel into a fresh folder
# and compares the one log it wrote, byte for byte, with the committed one:
# the native and the Windows build must both write exactly those bytes.
# Variables: SIM, EMULATOR (empty natively), SCENARIO, EXPECTED, WORK_DIR.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND ${EMULATOR} ${SIM} --quiet --log-dir ${WORK_DIR} ${SCENARIO}
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "hoversim ended with ${status}")
endif()
file(GLOB logs ${WORK_DIR}/hoverlog-*.csv)
list(LENGTH logs count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "the logger wrote ${count} files, not one: ${logs}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${logs} ${EXPECTED} RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
    message(FATAL_ERROR "${logs} differs from ${EXPECTED}")
endif()
