# SPDX-License-Identifier: MIT
# Fails when a generated document in the tree is not what its generator
# writes now: the figures users read must be the program's.
#   cmake -DGENERATOR=<program> -DOUTPUT=<scratch file> -DDOC=<committed file>
#         -DHOW=<command that regenerates it> -P generated_doc_is_current.cmake
execute_process(COMMAND ${GENERATOR} -o ${OUTPUT} RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${GENERATOR} failed (${status})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${DOC} RESULT_VARIABLE differs)
if(differs)
    message(FATAL_ERROR "${DOC} is not what the program measures now; regenerate it with: ${HOW}")
endif()
