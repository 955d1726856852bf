# Run by CPack for each package after it has installed the tree into its staging folder and
# before it packs it.
#  - .tar.gz: it may be unpacked anywhere, so its pkg-config files find the tree from their own
#    folder instead of naming CPack's staging folder.
#  - .deb: drops the compiler's notes from the binaries and adds what Debian keeps below /usr:
#    the copyright file and the changelog in /usr/share/doc/<package>, the lintian overrides,
#    and links to the pkg-config files in the system's pkg-config folder, so
#    `pkg-config --cflags --libs` finds them with no settings.
set(stage ${CPACK_TEMPORARY_DIRECTORY})
set(prefix ${CPACK_PACKAGING_INSTALL_PREFIX})
set(packaging ${CPACK_RCP_PACKAGING_DIR})
file(GLOB pkgconfig_files ${stage}${prefix}/lib/pkgconfig/*.pc)

if(CPACK_GENERATOR STREQUAL "TGZ")
  foreach(file IN LISTS pkgconfig_files)
    file(READ ${file} text)
    string(REGEX REPLACE "^prefix=[^\n]*" "prefix=\${pcfiledir}/../.." text "${text}")
    file(WRITE ${file} "${text}")
  endforeach()
  return()
endif()
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

# The compiler's version notes (".comment") are of no use in a shipped binary; the build id
# stays, as the -dbgsym package is found by it.
file(GLOB binaries ${stage}${prefix}/bin/* ${stage}${prefix}/lib/*.so*)
foreach(binary IN LISTS binaries)
  if(NOT IS_SYMLINK ${binary})
    execute_process(COMMAND objcopy --remove-section=.comment ${binary} COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()

set(doc ${stage}/usr/share/doc/${CPACK_PACKAGE_NAME})
file(MAKE_DIRECTORY ${doc} ${stage}/usr/share/lintian/overrides)
file(COPY_FILE ${packaging}/debian/copyright ${doc}/copyright)
file(COPY_FILE ${packaging}/debian/lintian-overrides
     ${stage}/usr/share/lintian/overrides/${CPACK_PACKAGE_NAME})
# -n: no name or time in the gzip header, so the same changelog packs to the same bytes.
execute_process(COMMAND gzip -9n -c ${packaging}/debian/changelog
                OUTPUT_FILE ${doc}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)

execute_process(COMMAND dpkg-architecture -qDEB_HOST_MULTIARCH
                OUTPUT_VARIABLE multiarch OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(system_pkgconfig ${stage}/usr/lib/${multiarch}/pkgconfig)
file(MAKE_DIRECTORY ${system_pkgconfig})
foreach(file IN LISTS pkgconfig_files)
  get_filename_component(name ${file} NAME)
  file(CREATE_LINK ${prefix}/lib/pkgconfig/${name} ${system_pkgconfig}/${name} SYMBOLIC)
endforeach()
