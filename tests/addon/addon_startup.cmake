# Runs in a private mount namespace: the log file of the add-on tools lives in /tmp.
rcp_add_gtest(addon_startup_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/AddonToolStartupTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PreinstallRulesTest.cpp
  LIBS rcp_addon rcp_test_e2e GTest::gmock
  LABELS addon
  PRIVATE_MOUNTS /tmp)
