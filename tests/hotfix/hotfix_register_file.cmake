# The product register file lives under "/Library/Application Support": the test runs with a
# private tmpfs over it (and over /tmp), never touching the machine's own folder.
rcp_add_gtest(hotfix_register_file_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/RegisterFileTest.cpp
  LIBS RCPHotfixUninstall_objects rcp_test_e2e
  LABELS hotfix
  PRIVATE_MOUNTS /tmp "/Library/Application Support")
