# rcp_static_library(<name> <sources...>): a static library of the project; an area whose
# units are not written yet still configures (an empty unit stands in).
function(rcp_static_library name)
  set(sources ${ARGN})
  if(NOT sources)
    set(sources ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${sources} "namespace { [[maybe_unused]] int unused; }\n")
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
