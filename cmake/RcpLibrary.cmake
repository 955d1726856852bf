# rcp_static_library(<name> [MAY_USE <folders...>] SOURCES <sources...>): a static library of the
# project; an area whose units are not written yet still configures (an empty unit stands in).
# With MAY_USE, every build of the library first checks that its folder includes project headers
# only from its own folder and those folders, so a wrong-way include fails the build.
function(rcp_static_library name)
  cmake_parse_arguments(ARG "" "" "MAY_USE;SOURCES" ${ARGN})
  set(sources ${ARG_SOURCES})
  if(NOT sources)
    set(sources ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${sources} "namespace { [[maybe_unused]] int unused; }\n")
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if("MAY_USE" IN_LIST ARGN)
    file(RELATIVE_PATH own ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${name}_include_direction.stamp)
    file(GLOB units CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    add_custom_command(OUTPUT ${stamp}
      COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR} -DFOLDER=${own} "-DALLOWED=${ARG_MAY_USE}"
              -P ${PROJECT_SOURCE_DIR}/cmake/RcpIncludeDirection.cmake
      COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
      DEPENDS ${units} ${PROJECT_SOURCE_DIR}/cmake/RcpIncludeDirection.cmake
      COMMENT "Checking the include direction of ${name}"
      VERBATIM)
    add_custom_target(${name}_include_direction DEPENDS ${stamp})
    add_dependencies(${name} ${name}_include_direction)
  endif()
endfunction()
