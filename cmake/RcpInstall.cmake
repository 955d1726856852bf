# What a user installs: the four programs, the two uninstall libraries with their headers,
# libmacassoc, the i686 vondraReg.dll (when the Windows cross build is on) and the Java
# declarations of both JNI libraries. CPack makes a versioned .tar.gz and a .deb of the same.
include(GNUInstallDirs)

install(TARGETS preflightAddon postflightAddon peloraHotfixUninstall purgeAddonRecord
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
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
if(RCP_WINDOWS AND NOT RCP_SANITIZE)
  install(FILES ${PROJECT_BINARY_DIR}/windows-i686/vondraReg.dll DESTINATION windows-i686)
endif()

set(CPACK_PACKAGE_NAME rcp-installer-tools)
set(CPACK_PACKAGE_VENDOR "rcp installer tools")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Installation tools of the office-suite client: add-on check and install, uninstallers, file-association libraries")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR "TGZ;DEB")
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_PROCESSOR})
# A .tar.gz unpacks into one versioned folder; the .deb keeps the same layout below /opt.
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/${CPACK_PACKAGE_NAME})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "rcp installer tools <root@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libplist3, libxml2, libstdc++6, libc6")
include(CPack)
