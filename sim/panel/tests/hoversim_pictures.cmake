# SPDX-License-Identifier: MIT
# hoversim leaves the panel pictures and the plot it was asked for:
#   cmake -DHOVERSIM=... -DSCENARIO=... -DOUT=... -P hoversim_pictures.cmake
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(
    COMMAND ${HOVERSIM} ${SCENARIO} --quiet --duration 3 --panel-at 1,3 --panel-prefix ${OUT}/panel_
            --plot ${OUT}/plot.png
    RESULT_VARIABLE status)
# 0 or 1: the shortened run may miss the scenario's expectations.
if(NOT status EQUAL 0 AND NOT status EQUAL 1)
    message(FATAL_ERROR "hoversim failed with ${status}")
endif()
foreach(file panel_0001.0s.png panel_0003.0s.png plot.png)
    if(NOT EXISTS ${OUT}/${file})
        message(FATAL_ERROR "hoversim left no ${file}")
    endif()
endforeach()
file(GLOB pictures ${OUT}/panel_*.png)
list(LENGTH pictures count)
if(NOT count EQUAL 2)
    message(FATAL_ERROR "hoversim left ${count} panel pictures instead of 2")
endif()
