rcp_add_gtest(instance_staging_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/instance_staging_test.cpp
  LIBS rcp_support
  LABELS support)

rcp_add_gtest(instance_layout_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/instance_layout_test.cpp
  LIBS rcp_support
  LABELS support)

# java.util.Properties reads the launcher settings we write, through the Java properties peer
# (java_properties.cmake). That fragment is included after this one, so the test is declared
# once every fragment has been read.
set(RCP_INSTANCE_STAGING_TESTS ${CMAKE_CURRENT_LIST_DIR})
function(rcp_add_instance_staging_jvm_test)
  if(NOT TARGET java_properties_peer)
    message(WARNING "instance_staging_jvm_test: skipped, no Java properties peer")
    return()
  endif()
  rcp_add_gtest(instance_staging_jvm_test
    SOURCES ${RCP_INSTANCE_STAGING_TESTS}/instance_staging_jvm_test.cpp
    LIBS rcp_support
    LABELS jvm)
  if(TARGET instance_staging_jvm_test)
    add_dependencies(instance_staging_jvm_test java_properties_peer)
    target_compile_definitions(instance_staging_jvm_test PRIVATE
      RCP_JAVA_LAUNCHER="${RCP_JAVA}"
      RCP_JAVA_PEER_CLASSES="${RCP_JAVA_PEER_CLASSES}")
  endif()
endfunction()
cmake_language(DEFER CALL rcp_add_instance_staging_jvm_test)
