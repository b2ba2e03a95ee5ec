# Runs COMMAND (arguments separated by "|") and passes when it exits non-zero with MESSAGE in
# what it writes to the error stream.
string(REPLACE "|" ";" command "${COMMAND}")
execute_process(COMMAND ${command} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(rc EQUAL 0)
    message(FATAL_ERROR "exit 0, expected a refusal; stderr: ${err}")
endif()
string(FIND "${err}" "${MESSAGE}" at)
if(at EQUAL -1)
    message(FATAL_ERROR "exit ${rc} without \"${MESSAGE}\"; stderr: ${err}")
endif()
