add_executable(child_process_helper ${CMAKE_CURRENT_LIST_DIR}/child_process_helper.cpp)

rcp_add_gtest(child_process_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/child_process_test.cpp
  LIBS rcp_platform
  LABELS platform)
add_dependencies(child_process_test child_process_helper)
target_compile_definitions(child_process_test PRIVATE
  CHILD_HELPER_PATH="$<TARGET_FILE:child_process_helper>")
