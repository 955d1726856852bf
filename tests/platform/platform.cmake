rcp_add_gtest(platform_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/AtomicFileTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FixedPathFileTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SystemLogTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PropertyListFileTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PropertyListCorpusTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OldStylePlistParserTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HomeFolderTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UserPreferencesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EffectiveUserGuardTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RunningProcessesTest.cpp
  LIBS rcp_platform)
