# Test helpers shared by the end-to-end tests of every program: the instance and package
# builders, the private mount namespace runner and running copies of a program.
add_library(rcp_test_e2e STATIC
  ${CMAKE_CURRENT_LIST_DIR}/InstanceBuilder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AddonPackageBuilder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PrivateNamespace.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunningCopy.cpp)
target_include_directories(rcp_test_e2e PUBLIC ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(rcp_test_e2e PRIVATE
  RCP_SOURCE_DIR="${PROJECT_SOURCE_DIR}" RCP_BINARY_DIR="${PROJECT_BINARY_DIR}")
target_link_libraries(rcp_test_e2e PUBLIC rcp_platform)
