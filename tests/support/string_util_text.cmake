rcp_add_gtest(string_util_text_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/string_util_text_test.cpp
  LIBS rcp_support
  LABELS support)
