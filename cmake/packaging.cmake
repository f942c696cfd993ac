# What `cmake --install` puts beside the library (library/CMakeLists.txt):
# both programs, a man page for each, README and LICENSE; and the packages
# CPack makes of that: a Debian package from the native build, a zip of the
# two programs with README and LICENSE from the MinGW build.
include(GNUInstallDirs)

install(TARGETS vemora vemora-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(WIN32)
  install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # The zip holds the programs and the two texts side by side, nothing else:
  # a component of its own that a plain install leaves out.
  install(TARGETS vemora vemora-check RUNTIME DESTINATION . COMPONENT windows_zip
          EXCLUDE_FROM_ALL)
  install(FILES README.md LICENSE DESTINATION . COMPONENT windows_zip EXCLUDE_FROM_ALL)
else()
  install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # Debian keeps a package's licence as copyright in its doc folder.
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
  # Man pages go compressed, without a time stamp in the gzip header, so that
  # two builds of one commit give the same package.
  find_program(VEMORA_GZIP gzip REQUIRED)
  set(vemora_man_pages "")
  foreach(page vemora.1 vemora-check.1)
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${compressed}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
      COMMAND ${VEMORA_GZIP} -9nc ${PROJECT_SOURCE_DIR}/docs/man/${page} > ${compressed}
      DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${page} VERBATIM)
    list(APPEND vemora_man_pages ${compressed})
  endforeach()
  add_custom_target(vemora_man_pages ALL DEPENDS ${vemora_man_pages})
  install(FILES ${vemora_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME vemora)
set(CPACK_PACKAGE_VENDOR "The Vemora developers")
set(CPACK_PACKAGE_VERSION
    ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Memory usage of linked firmware images, from the linker's map file")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME vemora-${CPACK_PACKAGE_VERSION}-win64)
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};vemora;windows_zip;/")
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Vemora developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  # The summary is the first line; CPack indents these below it.
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "vemora prints the fixed console memory report of a linked image: the fill of\n"
    "every program and data-memory range, a breakdown by section-name searches and\n"
    "the EEPROM usage. vemora-check gives the same analysis as JSON, CSV and\n"
    "Markdown and explains every section. The package also holds the static C++\n"
    "library (find_package(vemora) in CMake) and its headers.")
  # The programs' run-time libraries (libc, libstdc++, libcrypto) become the
  # package's dependencies.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
