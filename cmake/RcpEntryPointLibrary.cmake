# rcp_entry_point_library(<library> PROGRAM <name> MAIN <file> SOURCES <files...>)
# One set of objects built twice: into a shared library that any host program can load, which
# exports only the entry points named in exports.map, and into a program that exports the same
# entry points (exports.list) to whatever it loads. Both files live beside the sources.
function(rcp_entry_point_library library)
  cmake_parse_arguments(ARG "" "PROGRAM;MAIN" "SOURCES" ${ARGN})
  set(objects ${library}_objects)
  add_library(${objects} OBJECT ${ARG_SOURCES})
  target_include_directories(${objects} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${objects} PUBLIC rcp_support)

  set(version_script ${CMAKE_CURRENT_SOURCE_DIR}/exports.map)
  add_library(${library} SHARED $<TARGET_OBJECTS:${objects}>)
  target_link_libraries(${library} PRIVATE rcp_support)
  target_link_options(${library} PRIVATE -Wl,--version-script=${version_script} -Wl,--no-undefined)
  # A versioned SONAME: a host program linked against this library keeps finding the ABI it was
  # built for; the unversioned name is the linker's link to it.
  set_target_properties(${library} PROPERTIES LINK_DEPENDS ${version_script}
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})

  add_executable(${ARG_PROGRAM} ${ARG_MAIN} $<TARGET_OBJECTS:${objects}>)
  target_link_libraries(${ARG_PROGRAM} PRIVATE rcp_support)
  target_link_options(${ARG_PROGRAM} PRIVATE
    -Wl,--dynamic-list=${CMAKE_CURRENT_SOURCE_DIR}/exports.list)
endfunction()
