# SPDX-License-Identifier: MIT
# Flies one scenario with the native host and hover.so, and with the Windows
# host and the shipped hover.gau under Wine, and compares the two traces.
# Variables: NATIVE_SIM, WINE_SIM, EMULATOR, TRACECMP, SCENARIO, OUT_DIR.
get_filename_component(name ${SCENARIO} NAME_WE)
file(MAKE_DIRECTORY ${OUT_DIR})
set(native_trace ${OUT_DIR}/${name}.native.csv)
set(wine_trace ${OUT_DIR}/${name}.wine.csv)

execute_process(COMMAND ${NATIVE_SIM} --quiet --trace ${native_trace} ${SCENARIO}
    RESULT_VARIABLE native_status)
execute_process(COMMAND ${EMULATOR} ${WINE_SIM} --quiet --trace ${wine_trace} ${SCENARIO}
    RESULT_VARIABLE wine_status)
if(wine_status EQUAL 77)
    message("skipped: the scenario moves the stick, and the dinput.dll the Windows host loaded is not the stand-in")
    return()
endif()
# 0 or 1: flown (an expectation may fail, which the scenario's own test
# reports); anything else: the run did not happen.
if(NOT native_status MATCHES "^[01]$" OR NOT wine_status MATCHES "^[01]$")
    message(FATAL_ERROR "the native run ended with ${native_status}, the Wine run with ${wine_status}")
endif()
if(NOT native_status EQUAL wine_status)
    message(SEND_ERROR "the native run's expectations ended with ${native_status}, the Wine run's with ${wine_status}")
endif()
execute_process(COMMAND ${TRACECMP} ${native_trace} ${wine_trace} 1e-6 2 RESULT_VARIABLE compare_status)
if(NOT compare_status EQUAL 0)
    message(FATAL_ERROR "the Wine trace differs from the native one")
endif()
