# cmake -DROOT=<source tree> -DFOLDER=<folder> -DALLOWED=<folder;...> -P RcpIncludeDirection.cmake
cmake_policy(VERSION 3.25)
# Fails when a source or header in FOLDER includes a project header from a folder that is not
# FOLDER itself or one of ALLOWED: the library folders may only use the folders below them.
set(project_folders installer/files installer/formats installer/support installer/addon
    installer/hotfix installer/addonuninstall platform fileassociation tools)
file(GLOB units ${ROOT}/${FOLDER}/*.cpp ${ROOT}/${FOLDER}/*.h)
set(wrong "")
foreach(unit IN LISTS units)
  file(STRINGS ${unit} includes REGEX "^#include \"[^\"]+\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
    foreach(folder IN LISTS project_folders)
      if(header MATCHES "^${folder}/" AND NOT folder STREQUAL FOLDER AND NOT folder IN_LIST ALLOWED)
        list(APPEND wrong "${unit}: ${header}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(wrong)
  list(JOIN wrong "\n  " text)
  message(FATAL_ERROR "${FOLDER} may use only ${ALLOWED}; these includes run the wrong way:\n  ${text}")
endif()
