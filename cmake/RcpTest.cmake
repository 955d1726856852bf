# rcp_add_gtest(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>]
#               [PRIVATE_MOUNTS <folders...>])
# One GoogleTest executable, registered with CTest test by test. With PRIVATE_MOUNTS the
# executable always runs in a private mount namespace with a fresh tmpfs over each folder
# (e.g. /tmp), so code that uses fixed system paths never touches the machine's own.
include(GoogleTest)
function(rcp_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;PRIVATE_MOUNTS" ${ARGN})
  # While several people work in one tree a test may be declared before its file is written;
  # CI (CI=true) treats that as the error it is.
  foreach(source IN LISTS ARG_SOURCES)
    if(NOT EXISTS ${source})
      if(DEFINED ENV{CI})
        message(FATAL_ERROR "${name}: missing source ${source}")
      endif()
      message(WARNING "${name}: skipped, missing source ${source}")
      set(stub ${CMAKE_CURRENT_BINARY_DIR}/${name}_not_written_yet.cpp)
      file(WRITE ${stub} "int main() { return 0; }\n")
      add_executable(${name} ${stub})
      return()
    endif()
  endforeach()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    RCP_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    RCP_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(ARG_PRIVATE_MOUNTS)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
      "unshare;--mount;${PROJECT_SOURCE_DIR}/tests/common/in-private-mounts.sh;${ARG_PRIVATE_MOUNTS};--")
  endif()
  # Listing the tests starts the executable (in its namespace); on a loaded machine that can take
  # longer than the default five seconds.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES LABELS "${ARG_LABELS}")
endfunction()
