# The install rules and the packages: install the built tree into a fresh prefix, run an
# installed program and load an installed library from there, then let CPack make the
# .tar.gz and the .deb and look inside the .deb.
add_test(NAME install.prefix_and_packages
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/installed-tree-test.sh
          ${PROJECT_BINARY_DIR} ${PROJECT_VERSION} $<TARGET_FILE:entry_point_host>
          $<IF:$<AND:$<BOOL:${RCP_WINDOWS}>,$<NOT:$<BOOL:${RCP_SANITIZE}>>>,with-dll,no-dll>)
set_tests_properties(install.prefix_and_packages PROPERTIES LABELS "install" RUN_SERIAL TRUE)
