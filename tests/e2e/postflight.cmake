rcp_add_gtest(postflight_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PostflightAddonTest.cpp
  LIBS rcp_test_e2e GTest::gmock
  LABELS e2e)
add_dependencies(postflight_e2e_test postflightAddon rcplauncher-sim)
target_compile_definitions(postflight_e2e_test PRIVATE
  POSTFLIGHT_ADDON="$<TARGET_FILE:postflightAddon>"
  RCPLAUNCHER_SIM_PATH="$<TARGET_FILE:rcplauncher-sim>")
