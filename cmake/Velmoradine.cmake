# Shared settings for the project's own targets.
add_library(velmoradine_warnings INTERFACE)
target_compile_options(velmoradine_warnings INTERFACE -Wall -Wextra -Wpedantic -Werror=unused-result)

# velmoradine_area(NAME SOURCES ... DEPS ...): one static library per area of
# the kit, with include paths of the form "velmoradine/<area>/<file>.hpp".
function(velmoradine_area name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(velmoradine_${name} STATIC ${ARG_SOURCES})
  target_include_directories(velmoradine_${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(velmoradine_${name} PUBLIC ${ARG_DEPS} PRIVATE velmoradine_warnings ${ARG_PRIVATE_DEPS})
  set_property(GLOBAL APPEND PROPERTY VELMORADINE_AREAS velmoradine_${name})
endfunction()
