# The configuration store and "/tmp/zel.config" live in /tmp: the test runs with a private tmpfs
# over it.
rcp_add_gtest(addon_result_panel_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/addon_result_panel_test.cpp
  LIBS rcp_addon rcp_test_e2e
  LABELS addon
  PRIVATE_MOUNTS /tmp)
