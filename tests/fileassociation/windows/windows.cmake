# vondraReg: the two MinGW-w64 cross builds of fileassociation/windows and their checks.
# The i686 library is the deliverable; its export table is checked statically (this kernel runs
# no 32-bit x86 code). The x86_64 build of the same source also builds the harness that calls
# every native under Wine.
if(NOT RCP_WINDOWS OR RCP_SANITIZE)
  return()
endif()

include(ExternalProject)
find_program(RCP_MINGW_I686_OBJDUMP i686-w64-mingw32-objdump REQUIRED)
find_program(RCP_WINE64 NAMES wine64 PATHS /usr/lib/wine REQUIRED)
find_program(RCP_WINESERVER NAMES wineserver PATHS /usr/lib/wine REQUIRED)
find_program(RCP_PYTHON3 python3 REQUIRED)

foreach(arch IN ITEMS i686 x86_64)
  set(harness_arguments "")
  if(arch STREQUAL "x86_64")
    set(harness_arguments -DVONDRA_HARNESS_DIR=${CMAKE_CURRENT_LIST_DIR})
  endif()
  ExternalProject_Add(vondraReg_${arch}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/fileassociation/windows
    BINARY_DIR ${PROJECT_BINARY_DIR}/windows-${arch}
    PREFIX ${PROJECT_BINARY_DIR}/windows-${arch}-steps
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchain-mingw-${arch}.cmake
      -DCMAKE_BUILD_TYPE=Release
      -DVONDRA_JAVAC=${RCP_JAVAC}
      -DVONDRA_JNI_INCLUDE_DIR=${RCP_JAVA_HOME}/include
      ${harness_arguments}
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --parallel 2
    # The inner build tracks its own sources; it runs on every build and does only what changed.
    BUILD_ALWAYS TRUE
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${PROJECT_BINARY_DIR}/windows-${arch}/vondraReg.dll)
endforeach()

add_test(NAME vondraReg.i686_exports
  COMMAND ${RCP_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/check_exports.py
          ${RCP_MINGW_I686_OBJDUMP} ${PROJECT_BINARY_DIR}/windows-i686/vondraReg.dll)
set_tests_properties(vondraReg.i686_exports PROPERTIES LABELS "windows")

# Wine keeps its prefix (and the home folder its desktop links to) below the build tree; the
# one prefix is shared, so Wine tests run one at a time.
add_test(NAME vondraReg.wine_harness
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/run_wine_harness.sh ${RCP_WINE64} ${RCP_WINESERVER}
          ${PROJECT_BINARY_DIR}/wine-state ${PROJECT_BINARY_DIR}/windows-x86_64/vondraRegHarness.exe
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/windows-x86_64)
set_tests_properties(vondraReg.wine_harness PROPERTIES
  LABELS "windows;wine"
  RESOURCE_LOCK vondraRegWinePrefix
  TIMEOUT 900)
