# SPDX-License-Identifier: MIT
# The trace comparison behind the Wine-against-native check, on small
# hand-made traces: it must agree on equal traces and within its tolerances,
# and report a single value that differs, a missing row or an empty trace.
# Variables: TRACECMP, EMULATOR (may be empty), OUT_DIR.
file(MAKE_DIRECTORY ${OUT_DIR})
set(header "frame,host_time,height_ft,cmd_elevator,actions")
set(rows "0,0,100.0,-120,\"click power\"\n1,0.05,100.25,-118,\"\"\n2,0.1,100.5,-117,\"\"\n")

function(compare name expected other_rows)
    file(WRITE ${OUT_DIR}/${name}.a.csv "${header}\n${rows}")
    file(WRITE ${OUT_DIR}/${name}.b.csv "${header}\n${other_rows}")
    execute_process(COMMAND ${EMULATOR} ${TRACECMP} ${OUT_DIR}/${name}.a.csv ${OUT_DIR}/${name}.b.csv 1e-6 2
        RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
    if(NOT status STREQUAL "${expected}")
        message(SEND_ERROR "${name}: tracecmp ended with '${status}', expected ${expected}")
    endif()
endfunction()

compare(equal 0 "${rows}")
# Within the tolerances: a relative 1e-7, and one axis unit on a command.
compare(within_tolerance 0 "0,0,100.00001,-119,\"click power\"\n1,0.05,100.25,-118,\"\"\n2,0.1,100.5,-117,\"\"\n")
compare(one_height_differs 1 "0,0,100.0,-120,\"click power\"\n1,0.05,100.26,-118,\"\"\n2,0.1,100.5,-117,\"\"\n")
compare(one_command_three_units_off 1 "0,0,100.0,-120,\"click power\"\n1,0.05,100.25,-115,\"\"\n2,0.1,100.5,-117,\"\"\n")
compare(one_action_differs 1 "0,0,100.0,-120,\"click guard\"\n1,0.05,100.25,-118,\"\"\n2,0.1,100.5,-117,\"\"\n")
compare(not_a_number 1 "0,0,100.0,-120,\"click power\"\n1,0.05,nan,-118,\"\"\n2,0.1,100.5,-117,\"\"\n")
compare(a_row_missing 1 "0,0,100.0,-120,\"click power\"\n1,0.05,100.25,-118,\"\"\n")

# Two traces without a single row have nothing to agree on.
file(WRITE ${OUT_DIR}/empty.a.csv "${header}\n")
file(WRITE ${OUT_DIR}/empty.b.csv "${header}\n")
execute_process(COMMAND ${EMULATOR} ${TRACECMP} ${OUT_DIR}/empty.a.csv ${OUT_DIR}/empty.b.csv
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
if(NOT status STREQUAL "1")
    message(SEND_ERROR "empty: tracecmp ended with '${status}', expected 1")
endif()
