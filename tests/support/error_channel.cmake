rcp_add_gtest(error_channel_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/error_channel_test.cpp
  LIBS rcp_support
  PRIVATE_MOUNTS /tmp /run/user)
