rcp_add_gtest(private_namespace_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PrivateNamespaceTest.cpp
  LIBS rcp_test_e2e GTest::gmock
  LABELS e2e)
