# Runs hoversim on one bad input and passes when it refuses it as --help
# promises: within the time limit, with the given exit status, nothing on
# standard output and exactly one line on standard error matching MESSAGE.
# With OUTPUT_REGEX, a run that flies instead: the status, and the summary
# matching OUTPUT_REGEX (and the JSON summary's outcome, when asked).
#
#   cmake -DSIM=... [-DEMULATOR=...] -DSECONDS=20 -DARGS="a|b|c" -DSTATUS=2 -DMESSAGE=regex
#         [-DOUTPUT_REGEX=regex [-DJSON=file -DJSON_RESULT=outcome]]
#         [-DMAKE=fifo|oversized|many_expectations -DWORK_DIR=...] -P refusal.cmake
#
# ARGS is |-separated; @WORK@ in it stands for WORK_DIR, where MAKE puts the
# input it makes.
cmake_minimum_required(VERSION 3.25)

if(DEFINED MAKE)
    file(MAKE_DIRECTORY ${WORK_DIR})
    if(MAKE STREQUAL "fifo")
        file(REMOVE ${WORK_DIR}/fifo.toml)
        execute_process(COMMAND mkfifo ${WORK_DIR}/fifo.toml RESULT_VARIABLE made)
        if(NOT made EQUAL 0)
            message(FATAL_ERROR "cannot make a FIFO")
        endif()
    elseif(MAKE STREQUAL "oversized")
        # Valid TOML throughout: only the size is wrong.
        string(REPEAT "# a comment line that makes the file long, and nothing more\n" 20000 body)
        file(WRITE ${WORK_DIR}/oversized.toml "${body}")
    elseif(MAKE STREQUAL "many_expectations")
        string(REPEAT "[[expect]]\ncheck = \"engaged\"\n" 201 body)
        file(WRITE ${WORK_DIR}/many_expectations.toml "${body}")
    elseif(MAKE STREQUAL "unchecked")
        file(WRITE ${WORK_DIR}/unchecked.toml "duration = 1\n")
    endif()
endif()

string(REPLACE "@WORK@" "${WORK_DIR}" args "${ARGS}")
string(REPLACE "|" ";" args "${args}")
execute_process(COMMAND ${EMULATOR} ${SIM} ${args}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT ${SECONDS})

if(NOT status STREQUAL "${STATUS}")
    message(FATAL_ERROR "exit status '${status}', expected ${STATUS}; stderr: ${err}")
endif()
if(DEFINED OUTPUT_REGEX)
    # A run that flies: its summary on standard output must match.
    if(NOT out MATCHES "${OUTPUT_REGEX}")
        message(FATAL_ERROR "the summary does not match '${OUTPUT_REGEX}':\n${out}")
    endif()
    if(DEFINED JSON)
        file(READ ${JSON} json)
        string(JSON outcome ERROR_VARIABLE problem GET "${json}" runs 0 result)
        if(problem OR NOT outcome STREQUAL JSON_RESULT)
            message(FATAL_ERROR "the JSON summary gives '${outcome}' ${problem}, not ${JSON_RESULT}")
        endif()
    endif()
    return()
endif()
if(NOT out STREQUAL "")
    message(FATAL_ERROR "unexpected standard output: ${out}")
endif()
string(REGEX MATCHALL "\n" ends "${err}")
list(LENGTH ends lines)
if(NOT lines EQUAL 1 OR NOT err MATCHES "\n$")
    message(FATAL_ERROR "expected one line on standard error, got: ${err}")
endif()
if(err MATCHES "\r")
    message(FATAL_ERROR "the line ends in \\r\\n")
endif()
if(NOT err MATCHES "${MESSAGE}")
    message(FATAL_ERROR "the message '${err}' does not match '${MESSAGE}'")
endif()
