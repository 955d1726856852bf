rcp_add_gtest(install_util_checks_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/install_util_checks_test.cpp
  LIBS rcp_support rcp_test_e2e GTest::gmock
  LABELS support)
