rcp_add_gtest(path_beneath_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PathBeneathTest.cpp
  LIBS rcp_platform
  LABELS platform)
