# SPDX-License-Identifier: MIT
# Fails when the README (or a scenario said to fly an aircraft's tuned
# string) does not give the string the committed tune of that aircraft
# wrote, or when the README does not say what that tune wrote the string
# holds: the strings users paste, and what is said of them, must be the
# program's.
#   cmake -DSOURCE=<source tree> -P tuned_strings_are_published.cmake
foreach(aircraft bo105 uh1h puma)
    set(written ${SOURCE}/docs/tuning/${aircraft}/parameters.txt)
    if(NOT EXISTS ${written})
        message(FATAL_ERROR "no tune of ${aircraft}: ${written} is missing")
    endif()
    file(READ ${written} tuned)
    string(STRIP "${tuned}" tuned)
    file(READ ${SOURCE}/README.md readme)
    string(FIND "${readme}" "${tuned}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "README.md does not give the ${aircraft} string of ${written}: ${tuned}")
    endif()
    set(holds_file ${SOURCE}/docs/tuning/${aircraft}/holds.txt)
    if(NOT EXISTS ${holds_file})
        message(FATAL_ERROR "no statement of what the ${aircraft} string holds: ${holds_file} is missing")
    endif()
    file(READ ${holds_file} holds)
    string(STRIP "${holds}" holds)
    string(FIND "${readme}" "${holds}" said)
    if(said EQUAL -1)
        message(FATAL_ERROR "README.md does not say what ${holds_file} says the ${aircraft} string holds: ${holds}")
    endif()
    # Scenarios that name the tuned string for this aircraft must fly it.
    file(GLOB scenarios ${SOURCE}/scenarios/*.toml)
    foreach(scenario ${scenarios})
        file(STRINGS ${scenario} marked REGEX "^# parameters: the tuned string for ${aircraft}$")
        if(marked)
            file(STRINGS ${scenario} line REGEX "^parameters = ")
            if(NOT line STREQUAL "parameters = \"${tuned}\"")
                message(FATAL_ERROR "${scenario} does not fly the tuned ${aircraft} string: ${line}")
            endif()
        endif()
    endforeach()
endforeach()
