rcp_add_gtest(uninstallers_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/UninstallersTest.cpp
  LIBS rcp_test_e2e GTest::gmock
  LABELS e2e)
add_dependencies(uninstallers_e2e_test entry_point_host RCPAddonUninstall RCPHotfixUninstall
  purgeAddonRecord peloraHotfixUninstall rcplauncher-sim)
target_compile_definitions(uninstallers_e2e_test PRIVATE
  ENTRY_POINT_HOST="$<TARGET_FILE:entry_point_host>"
  ADDON_UNINSTALL_LIBRARY="$<TARGET_FILE:RCPAddonUninstall>"
  HOTFIX_UNINSTALL_LIBRARY="$<TARGET_FILE:RCPHotfixUninstall>"
  PURGE_ADDON_RECORD="$<TARGET_FILE:purgeAddonRecord>"
  PELORA_HOTFIX_UNINSTALL="$<TARGET_FILE:peloraHotfixUninstall>"
  RCPLAUNCHER_SIM_PATH="$<TARGET_FILE:rcplauncher-sim>")
