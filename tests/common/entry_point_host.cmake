# The C host program that loads the uninstall libraries with dlopen.
add_executable(entry_point_host ${CMAKE_CURRENT_LIST_DIR}/entry_point_host.c)
target_link_libraries(entry_point_host PRIVATE ${CMAKE_DL_LIBS})
set_target_properties(entry_point_host PROPERTIES C_STANDARD 11)
