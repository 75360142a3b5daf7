# Runs `tarnwick demo` twice and `tarnwick inspect` on the result: the demo stream must inspect
# without a fault, and two runs must give the same bytes.
# Arguments: -DTOOL=<tarnwick executable> -DOUT=<scratch folder>
foreach(run a b)
  file(REMOVE_RECURSE "${OUT}/${run}")
  execute_process(COMMAND "${TOOL}" demo -o "${OUT}/${run}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "tarnwick demo exited with ${rc}:\n${out}${err}")
  endif()
  if(NOT out MATCHES "Wrote [^\n]*demo\\.prn \\([0-9]+ bytes, 3 pages\\) and preview [^\n]*demo\\.png")
    message(FATAL_ERROR "unexpected demo output: ${out}")
  endif()
endforeach()

execute_process(COMMAND "${TOOL}" inspect "${OUT}/a/demo.prn"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "tarnwick inspect exited with ${rc}:\n${out}${err}")
endif()
if(NOT out MATCHES "no faults")
  message(FATAL_ERROR "the inspector did not report a clean stream:\n${out}")
endif()

foreach(file demo.prn demo.png)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${OUT}/a/${file}" "${OUT}/b/${file}"
    RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    message(FATAL_ERROR "two demo runs gave different ${file}")
  endif()
endforeach()
