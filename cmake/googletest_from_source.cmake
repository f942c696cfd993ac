# GoogleTest for a cross build: Debian's packaged libraries are host binaries, so the tests of
# the Windows build link GoogleTest compiled here from Debian's sources (package googletest)
# with the cross compiler. Provides the same GTest::gtest and GTest::gtest_main targets as
# find_package(GTest).
set(VEMORA_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
if(NOT EXISTS ${VEMORA_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${VEMORA_GOOGLETEST_SOURCE_DIR}: "
                      "install the package googletest or set VEMORA_GOOGLETEST_SOURCE_DIR")
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${VEMORA_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

foreach(gtest_target gtest gtest_main)
  # System headers: our warnings-as-errors must not judge GoogleTest's headers.
  get_target_property(gtest_includes ${gtest_target} INTERFACE_INCLUDE_DIRECTORIES)
  set_target_properties(${gtest_target} PROPERTIES
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${gtest_includes}")
  if(NOT TARGET GTest::${gtest_target})
    add_library(GTest::${gtest_target} ALIAS ${gtest_target})
  endif()
endforeach()
