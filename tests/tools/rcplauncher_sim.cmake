rcp_add_gtest(rcplauncher_sim_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/rcplauncher_sim_test.cpp
  LIBS rcp_platform
  LABELS tools)
add_dependencies(rcplauncher_sim_test rcplauncher-sim)
target_compile_definitions(rcplauncher_sim_test PRIVATE
  RCPLAUNCHER_SIM_PATH="$<TARGET_FILE:rcplauncher-sim>")
