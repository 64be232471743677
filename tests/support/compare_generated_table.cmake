# Runs GENERATOR with OUTPUT as its table file and fails unless OUTPUT is
# byte for byte CHECKED_IN.
execute_process(COMMAND ${GENERATOR} ${OUTPUT} OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${GENERATOR} failed: ${status}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${CHECKED_IN}
                RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "${CHECKED_IN} is not what ${GENERATOR} writes now (${OUTPUT})")
endif()
