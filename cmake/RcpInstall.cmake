# What a user installs: the four programs, the two uninstall libraries with their headers and
# pkg-config files, libmacassoc, the i686 vondraReg.dll (when the Windows cross build is on), the
# Java declarations of both JNI libraries and the manual pages. CPack makes a versioned .tar.gz
# and a Debian package (with its -dbgsym package) of the same.
include(GNUInstallDirs)

install(TARGETS preflightAddon postflightAddon peloraHotfixUninstall purgeAddonRecord
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The uninstall libraries: the file named by the SONAME, the SONAME link and the linker's link.
install(TARGETS RCPHotfixUninstall RCPAddonUninstall macassoc
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/installer/hotfix/RCPHotfixUninstall.h
              ${PROJECT_SOURCE_DIR}/installer/addonuninstall/RCPAddonUninstall.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The Java sources keep their package folders (com/norq/pelora/fileassociation/...).
install(DIRECTORY ${PROJECT_SOURCE_DIR}/fileassociation/mac/java/
                  ${PROJECT_SOURCE_DIR}/fileassociation/windows/java/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/java
        FILES_MATCHING PATTERN "*.java")
install(FILES ${PROJECT_SOURCE_DIR}/doc/man/preflightAddon.8
              ${PROJECT_SOURCE_DIR}/doc/man/postflightAddon.8
              ${PROJECT_SOURCE_DIR}/doc/man/peloraHotfixUninstall.8
              ${PROJECT_SOURCE_DIR}/doc/man/purgeAddonRecord.8
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(FILES ${PROJECT_SOURCE_DIR}/doc/man/rcp-uninstall-entry-points.3
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man3)
if(RCP_WINDOWS AND NOT RCP_SANITIZE)
  install(FILES ${PROJECT_BINARY_DIR}/windows-i686/vondraReg.dll DESTINATION windows-i686)
endif()

# pkg-config files name the prefix the tree is installed to, which is known only at install
# time (cmake --install --prefix, or the package's /opt folder); the library's folder is also
# its run path, so a program built with `pkg-config --cflags --libs` alone finds it.
foreach(module rcp-addon-uninstall rcp-hotfix-uninstall)
  set(RCP_PC_PREFIX "@RCP_PC_PREFIX@")
  configure_file(${PROJECT_SOURCE_DIR}/packaging/pkgconfig/${module}.pc.in
                 ${PROJECT_BINARY_DIR}/pkgconfig/${module}.pc.in @ONLY)
  install(CODE "
    set(RCP_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${PROJECT_BINARY_DIR}/pkgconfig/${module}.pc.in\"
                   \"${PROJECT_BINARY_DIR}/pkgconfig/installed/${module}.pc\" @ONLY)")
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/installed/${module}.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

set(CPACK_PACKAGE_NAME rcp-installer-tools)
set(CPACK_PACKAGE_VENDOR "rcp installer tools maintainers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "installation tools of the office-suite client")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${PROJECT_SOURCE_DIR}/packaging/debian/description)
set(CPACK_GENERATOR "TGZ;DEB")
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_PROCESSOR})
# A .tar.gz unpacks into one versioned folder; the .deb keeps the same layout below /opt.
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/${CPACK_PACKAGE_NAME})

# The Debian package: name_version_arch.deb, stripped, the debug symbols in a -dbgsym package,
# Depends from dpkg-shlibdeps, and the files Debian keeps below /usr (copyright, changelog,
# lintian overrides, the pkg-config links) added by packaging/DebianFiles.cmake.
set(RCP_PACKAGE_MAINTAINER
    "rcp installer tools maintainers <maintainers@users.noreply.c-seed-994861fa.example>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${RCP_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/DebianFiles.cmake)
set(RCP_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(CPACK_RCP_PACKAGING_DIR ${RCP_PACKAGING_DIR})
include(CPack)
