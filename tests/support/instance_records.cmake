rcp_add_gtest(instance_records_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/instance_records_test.cpp
  LIBS rcp_support rcp_test_e2e GTest::gmock
  LABELS support)
