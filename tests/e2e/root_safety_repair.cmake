# The ownership repair attacked as root: hard links to a file of root's, and a folder of the
# workspace's path swapped for a link while the uninstaller runs again and again.
rcp_add_gtest(repair_hard_link_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/RepairHardLinkTest.cpp
  LIBS rcp_test_e2e GTest::gmock
  LABELS e2e)
add_dependencies(repair_hard_link_e2e_test postflightAddon peloraHotfixUninstall rcplauncher-sim)
target_compile_definitions(repair_hard_link_e2e_test PRIVATE
  POSTFLIGHT_ADDON="$<TARGET_FILE:postflightAddon>"
  PELORA_HOTFIX_UNINSTALL="$<TARGET_FILE:peloraHotfixUninstall>"
  RCPLAUNCHER_SIM_PATH="$<TARGET_FILE:rcplauncher-sim>")

rcp_add_gtest(repair_race_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/RepairRaceTest.cpp
  LIBS rcp_test_e2e GTest::gmock
  LABELS e2e)
add_dependencies(repair_race_e2e_test peloraHotfixUninstall rcplauncher-sim)
target_compile_definitions(repair_race_e2e_test PRIVATE
  PELORA_HOTFIX_UNINSTALL="$<TARGET_FILE:peloraHotfixUninstall>"
  RCPLAUNCHER_SIM_PATH="$<TARGET_FILE:rcplauncher-sim>")
