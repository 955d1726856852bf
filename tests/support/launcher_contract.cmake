rcp_add_gtest(launcher_contract_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/launcher_contract_test.cpp
  LIBS rcp_support
  LABELS support)
add_dependencies(launcher_contract_test rcplauncher-sim)
target_compile_definitions(launcher_contract_test PRIVATE
  RCPLAUNCHER_SIM_PATH="$<TARGET_FILE:rcplauncher-sim>")
