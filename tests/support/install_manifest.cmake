rcp_add_gtest(install_manifest_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/install_manifest_test.cpp
  LIBS rcp_support
  LABELS support)
rcp_add_gtest(install_manifest_corpus_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/install_manifest_corpus_test.cpp
  LIBS rcp_support
  LABELS support)
