rcp_add_gtest(preflight_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PreflightAddonTest.cpp
  LIBS rcp_test_e2e GTest::gmock
  LABELS e2e)
add_dependencies(preflight_e2e_test preflightAddon)
target_compile_definitions(preflight_e2e_test PRIVATE
  PREFLIGHT_ADDON="$<TARGET_FILE:preflightAddon>")
