rcp_add_gtest(install_util_files_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/install_util_files_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/install_util_files_tree_test.cpp
  LIBS rcp_support
  LABELS support)
