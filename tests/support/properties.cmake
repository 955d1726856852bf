rcp_add_gtest(properties_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/properties_test.cpp
  LIBS rcp_support rcp_test_e2e
  LABELS support)
