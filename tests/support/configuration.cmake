rcp_add_gtest(configuration_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/configuration_test.cpp
  LIBS rcp_support
  PRIVATE_MOUNTS /tmp)
