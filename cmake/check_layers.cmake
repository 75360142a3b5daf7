# Test: each layer sees the layers below it and not those above. For every row, a one-line
# source that includes the header is compiled with the layer's include directories (as its own
# sources get them); it must compile exactly when the row says "sees".
#   cmake -DCXX=<compiler> -DDIRS=<folder of the per-layer include lists> -P check_layers.cmake
set(rows
  "tarnwick_platform|host/astring.h|hidden"
  "tarnwick_host|platform/clock.h|hidden"
  "tarnwick_config|host/xml_tree.h|sees"
  "tarnwick_config|engine/abase_rtl.h|hidden"
  "tarnwick_engine|config/glossary.h|sees"
  "tarnwick_engine|rtl/rtl.h|hidden"
  "tarnwick_rtl|engine/arow_base_rtl.h|sees"
  "tarnwick_rtl|options/settings_hex.h|hidden"
  "tarnwick_options|rtl/rtl.h|sees"
  "tarnwick_options|driver/cdriver.h|hidden"
  "tarnwick_driver_core|options/driver_option_dialog.h|sees"
  "tarnwick_inspect|driver/cdriver.h|hidden"
  "tarnwick_halftone|engine/abase_rtl.h|hidden")
set(failures 0)
foreach(row IN LISTS rows)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 layer)
  list(GET fields 1 header)
  list(GET fields 2 expected)
  file(READ "${DIRS}/${layer}.txt" dirs)
  set(flags "")
  foreach(dir IN LISTS dirs)
    list(APPEND flags "-I${dir}")
  endforeach()
  set(probe "${DIRS}/probe-${layer}.cpp")
  file(WRITE "${probe}" "#include \"${header}\"\n")
  execute_process(COMMAND "${CXX}" -std=c++20 -fsyntax-only ${flags} "${probe}"
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  if(result EQUAL 0)
    set(got sees)
  else()
    set(got hidden)
  endif()
  if(NOT got STREQUAL expected)
    if(expected STREQUAL "sees")
      message(SEND_ERROR "${layer} cannot include ${header}, from a layer it builds on")
    else()
      message(SEND_ERROR "${layer} can include ${header}, from a layer above it")
    endif()
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
list(LENGTH rows total)
math(EXPR passed "${total} - ${failures}")
message(STATUS "layers: ${passed} of ${total} rows hold")
