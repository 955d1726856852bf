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

# A corpus nobody here wrote: the properties files of the JDK's own runtime image.
set(RCP_JDK_PROPERTIES ${CMAKE_CURRENT_BINARY_DIR}/support/jdk-properties)
add_custom_command(
  OUTPUT ${RCP_JDK_PROPERTIES}.stamp
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${RCP_JDK_PROPERTIES}
  COMMAND ${RCP_JAVA_HOME}/bin/jimage extract "--include=regex:.*\\.properties"
          --dir=${RCP_JDK_PROPERTIES} ${RCP_JAVA_HOME}/lib/modules
  COMMAND ${CMAKE_COMMAND} -E touch ${RCP_JDK_PROPERTIES}.stamp
  DEPENDS ${RCP_JAVA_HOME}/lib/modules
  COMMENT "Extracting the properties files of the JDK runtime image"
  VERBATIM)
add_custom_target(jdk_properties_corpus DEPENDS ${RCP_JDK_PROPERTIES}.stamp)

rcp_add_gtest(java_properties_jvm_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/java_properties_jvm_test.cpp
  LIBS rcp_support
  LABELS jvm)
add_dependencies(java_properties_jvm_test java_properties_peer jdk_properties_corpus)
target_compile_definitions(java_properties_jvm_test PRIVATE
  RCP_JAVA_LAUNCHER="${RCP_JAVA}"
  RCP_JAVA_PEER_CLASSES="${RCP_JAVA_PEER_CLASSES}"
  RCP_JDK_PROPERTIES="${RCP_JDK_PROPERTIES}")
