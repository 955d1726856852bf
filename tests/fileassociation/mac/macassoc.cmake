# macassoc: the export list (every build), the plain functions and units (GoogleTest, every
# build), and the natives through a real JVM (label jvm, normal build only).

set(MACASSOC_TEST_BIN ${CMAKE_CURRENT_BINARY_DIR}/fileassociation/mac)

add_test(NAME macassoc_exports
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check_exports.sh ${CMAKE_NM} $<TARGET_FILE:macassoc>)

rcp_add_gtest(macassoc_functions_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/MacAssocFunctionsTest.cpp
  LIBS macassoc macassoc_core)

# The Java test program, compiled against the library's Java class.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
get_target_property(MACASSOC_CLASSES_DIR macassoc RCP_JAVA_CLASSES_DIR)
set(MACASSOC_TEST_CLASSES ${MACASSOC_TEST_BIN}/test-classes)
add_custom_command(
  OUTPUT ${MACASSOC_TEST_CLASSES}/MacAssocTest.class
  COMMAND ${RCP_JAVAC} -Xlint:all -Werror -cp ${MACASSOC_CLASSES_DIR} -d ${MACASSOC_TEST_CLASSES}
          ${CMAKE_CURRENT_LIST_DIR}/MacAssocTest.java
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/MacAssocTest.java macassoc_java
  COMMENT "javac MacAssocTest"
  VERBATIM)
add_custom_target(macassoc_java_test ALL DEPENDS ${MACASSOC_TEST_CLASSES}/MacAssocTest.class)
add_dependencies(macassoc_java_test macassoc)

set(MACASSOC_JVM_WORK ${MACASSOC_TEST_BIN}/jvm-work)
add_test(NAME macassoc_jvm
  COMMAND ${RCP_JAVA} -Xcheck:jni -cp ${MACASSOC_CLASSES_DIR}:${MACASSOC_TEST_CLASSES}
          MacAssocTest $<TARGET_FILE:macassoc> ${CMAKE_CURRENT_LIST_DIR}/fixtures
          ${CMAKE_CURRENT_LIST_DIR}/plist_probe.py ${Python3_EXECUTABLE} ${MACASSOC_JVM_WORK})
set_tests_properties(macassoc_jvm PROPERTIES
  LABELS jvm
  ENVIRONMENT "HOME=${MACASSOC_JVM_WORK}/home"
  FAIL_REGULAR_EXPRESSION "FAIL:;WARNING in native method")
