# The records of an instance after a program or its launcher is killed at any moment, and on a
# full disk; runs whole in a private mount namespace (it mounts a small tmpfs of its own).
rcp_add_gtest(crash_full_disk_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CrashAndFullDiskTest.cpp
  LIBS rcp_test_e2e rcp_support rcplauncher_sim_lib GTest::gmock
  LABELS e2e
  PRIVATE_MOUNTS /tmp)
add_dependencies(crash_full_disk_test postflightAddon peloraHotfixUninstall purgeAddonRecord rcplauncher-sim)
target_compile_definitions(crash_full_disk_test PRIVATE
  POSTFLIGHT_ADDON="$<TARGET_FILE:postflightAddon>"
  PELORA_HOTFIX_UNINSTALL="$<TARGET_FILE:peloraHotfixUninstall>"
  PURGE_ADDON_RECORD="$<TARGET_FILE:purgeAddonRecord>"
  RCPLAUNCHER_SIM_PATH="$<TARGET_FILE:rcplauncher-sim>")
