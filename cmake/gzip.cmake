# cmake -DINPUT=file -DOUTPUT=file.gz -P gzip.cmake: compresses with no name
# and no time stamp in the header, so that the same file gives the same bytes.
execute_process(COMMAND gzip -9 -n -c "${INPUT}" OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${INPUT}")
endif()
