# SPDX-License-Identifier: MIT
# Asks hovertune for a disk margin no string can keep (OUT: a folder for its
# results) and requires exit status 1, the best string found written, and
# the result saying that no string met the margins. The search of the
# margins runs to its budget when nothing meets them: about 20 s natively,
# several times that under the sanitizers.
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${TUNE} --disk-margin 1.5 --spread 0 --seeds 1 --budget 1 --trade-off-budget 0
                        --turbulence light --out ${OUT}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 900)
if(NOT status EQUAL 1)
    message(FATAL_ERROR "exit status ${status}, expected 1\n${out}\n${err}")
endif()
string(FIND "${out}" "no string met the required margins" said)
if(said EQUAL -1)
    message(FATAL_ERROR "the result does not say that no string met the margins:\n${out}")
endif()
if(NOT EXISTS ${OUT}/parameters.txt OR NOT EXISTS ${OUT}/report.md)
    message(FATAL_ERROR "the best string found was not written into ${OUT}")
endif()
