# The entry points' log files live in /tmp: the test runs with a private tmpfs over it.
rcp_add_gtest(addonuninstall_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/AddonUninstallTest.cpp
  LIBS RCPAddonUninstall_objects rcp_test_e2e
  LABELS addonuninstall
  PRIVATE_MOUNTS /tmp)
