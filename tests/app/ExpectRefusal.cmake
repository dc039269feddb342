# Runs PROGRAM with two images and expects exit status 2 and the refusal on
# standard error, with nothing on standard output.
execute_process(COMMAND ${PROGRAM} first.gbc second.gbc
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
if(NOT status EQUAL 2 OR NOT out STREQUAL "" OR NOT err MATCHES "one IMAGE at most")
  message(FATAL_ERROR "expected exit status 2 and the refusal; got status '${status}', output '${out}', errors '${err}'")
endif()
