rcp_add_gtest(java_properties_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/java_properties_test.cpp
  LIBS rcp_support
  LABELS support)

# The Java peer is compiled into the build tree; the cross-check test starts a JVM on it.
set(RCP_JAVA_PEER_CLASSES ${CMAKE_CURRENT_BINARY_DIR}/support/java-peer)
add_custom_command(
  OUTPUT ${RCP_JAVA_PEER_CLASSES}/JavaPropertiesPeer.class
  COMMAND ${CMAKE_COMMAND} -E make_directory ${RCP_JAVA_PEER_CLASSES}
  COMMAND ${RCP_JAVAC} -Xlint:all -Werror -d ${RCP_JAVA_PEER_CLASSES}
          ${CMAKE_CURRENT_LIST_DIR}/java/JavaPropertiesPeer.java
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/java/JavaPropertiesPeer.java
  COMMENT "Compiling the Java properties peer"
  VERBATIM)
add_custom_target(java_properties_peer DEPENDS ${RCP_JAVA_PEER_CLASSES}/JavaPropertiesPeer.class)

rcp_add_gtest(java_properties_jvm_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/java_properties_jvm_test.cpp
  LIBS rcp_support
  LABELS jvm)
add_dependencies(java_properties_jvm_test java_properties_peer)
target_compile_definitions(java_properties_jvm_test PRIVATE
  RCP_JAVA_LAUNCHER="${RCP_JAVA}"
  RCP_JAVA_PEER_CLASSES="${RCP_JAVA_PEER_CLASSES}")
