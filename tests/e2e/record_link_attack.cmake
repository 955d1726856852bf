# Record and settings files of an instance planted as links to a file of root's.
rcp_add_gtest(record_link_attack_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/RecordLinkAttackTest.cpp
  LIBS rcp_test_e2e GTest::gmock
  LABELS e2e)
add_dependencies(record_link_attack_e2e_test postflightAddon peloraHotfixUninstall purgeAddonRecord
  rcplauncher-sim)
target_compile_definitions(record_link_attack_e2e_test PRIVATE
  POSTFLIGHT_ADDON="$<TARGET_FILE:postflightAddon>"
  PELORA_HOTFIX_UNINSTALL="$<TARGET_FILE:peloraHotfixUninstall>"
  PURGE_ADDON_RECORD="$<TARGET_FILE:purgeAddonRecord>"
  RCPLAUNCHER_SIM_PATH="$<TARGET_FILE:rcplauncher-sim>")
