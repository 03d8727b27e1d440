# SPDX-License-Identifier: MIT
# hoverwin refusing to fly: one line on standard error matching EXPECT,
# exit status 2, no crash. With NO_DISPLAY the display is taken away.
set(env_args)
if(NO_DISPLAY)
    set(env_args --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=SDL_VIDEODRIVER)
endif()
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env ${env_args} ${HOVERWIN} ${SCENARIO}
    RESULT_VARIABLE status
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    TIMEOUT 60)
string(STRIP "${err}" err)
string(REGEX MATCHALL "\n" newlines "${err}")
if(NOT status EQUAL 2 OR NOT err MATCHES "^hoverwin: ${EXPECT}" OR newlines)
    message(FATAL_ERROR "expected one line 'hoverwin: ${EXPECT}...' and status 2, got status ${status}:\n${err}\n${out}")
endif()
