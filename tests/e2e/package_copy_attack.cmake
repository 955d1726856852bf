# Copies out of a package its user owns: links, hard links and configuration values that name
# files of root's must not bring their content into the instance.
rcp_add_gtest(package_copy_attack_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PackageCopyAttackTest.cpp
  LIBS rcp_test_e2e GTest::gmock
  LABELS e2e)
add_dependencies(package_copy_attack_e2e_test postflightAddon rcplauncher-sim)
target_compile_definitions(package_copy_attack_e2e_test PRIVATE
  POSTFLIGHT_ADDON="$<TARGET_FILE:postflightAddon>"
  RCPLAUNCHER_SIM_PATH="$<TARGET_FILE:rcplauncher-sim>")
