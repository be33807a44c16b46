# Shared settings for the project's own targets.
add_library(velmoradine_warnings INTERFACE)
target_compile_options(velmoradine_warnings INTERFACE -Wall -Wextra -Wpedantic -Werror=unused-result)

# velmoradine_include_root(TARGET SOURCE_DIR LINK_PATH): gives TARGET a public
# include root in the build tree that holds only SOURCE_DIR, linked in as
# LINK_PATH (e.g. "velmoradine/core"). Includes keep their usual spelling,
# yet a target sees no folder of the tree it has not linked.
function(velmoradine_include_root target source_dir link_path)
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  cmake_path(GET link_path PARENT_PATH parent)
  file(MAKE_DIRECTORY ${root}/${parent})
  file(CREATE_LINK ${source_dir} ${root}/${link_path} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# velmoradine_area(NAME SOURCES ... DEPS ...): one static library per area of
# the kit, with include paths of the form "velmoradine/<area>/<file>.hpp". The
# area sees its own headers and those of the areas it links (DEPS), nothing
# else; docs/architecture.md says which areas it may link. Headers an area
# generates go to generated/velmoradine_<NAME>/velmoradine/<area>/.
function(velmoradine_area name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(velmoradine_${name} STATIC ${ARG_SOURCES})
  file(RELATIVE_PATH area ${PROJECT_SOURCE_DIR}/velmoradine ${CMAKE_CURRENT_SOURCE_DIR})
  velmoradine_include_root(velmoradine_${name} ${CMAKE_CURRENT_SOURCE_DIR} velmoradine/${area})
  target_include_directories(velmoradine_${name} PUBLIC ${PROJECT_BINARY_DIR}/generated/velmoradine_${name})
  target_link_libraries(velmoradine_${name} PUBLIC ${ARG_DEPS} PRIVATE velmoradine_warnings ${ARG_PRIVATE_DEPS})
  set_property(GLOBAL APPEND PROPERTY VELMORADINE_AREAS velmoradine_${name})
endfunction()
