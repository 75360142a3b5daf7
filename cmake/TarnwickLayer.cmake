# One static library per layer of src/. Each layer is reached as "<folder>/<file>.h" through an
# include root of its own that holds only a link to its folder, and that root is passed on only
# to what links the layer. So a header of a layer that a target does not depend on is simply not
# found: an include that crosses the layers the wrong way fails to build.
#
#   tarnwick_layer(<target> FOLDER <folder under src> SOURCES <files relative to the folder>
#                  [DEPENDS <targets>])
function(tarnwick_layer target)
  cmake_parse_arguments(LAYER "" "FOLDER" "SOURCES;DEPENDS" ${ARGN})
  set(folder "${PROJECT_SOURCE_DIR}/src/${LAYER_FOLDER}")
  set(root "${PROJECT_BINARY_DIR}/layer-roots/${target}")
  file(MAKE_DIRECTORY "${root}")
  file(CREATE_LINK "${folder}" "${root}/${LAYER_FOLDER}" SYMBOLIC)
  list(TRANSFORM LAYER_SOURCES PREPEND "${folder}/")
  add_library(${target} STATIC ${LAYER_SOURCES})
  target_include_directories(${target} PUBLIC "${root}" "${PROJECT_SOURCE_DIR}/include")
  target_link_libraries(${target} PUBLIC ${LAYER_DEPENDS})
endfunction()
