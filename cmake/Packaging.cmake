# What `cmake --install` puts where, and the packages CPack makes of it.
#
# Linux: bin/tavo, the library with its soname links, the C header, a
# pkg-config file and a CMake package (unlha32::unlha32), the manual pages
# gzipped as Debian ships them and the bash completion. CPack splits that
# as Debian splits a library, one .deb per install component: libunlha32-0
# (the shared library, named after its soname, so that two sonames can be
# installed side by side), libunlha32-dev (what building against it takes)
# and tavo (the program, which needs the library of its own version). Each
# carries the licence as its copyright file and a changelog. Windows: one
# flat folder (tavo.exe, unlha32.dll with its import library, the
# self-extractor stub, the header and README.txt) that CPack zips. Both take
# their version from project(), as the library's UnlhaGetVersion, its
# soname, the manual pages and the usage screen do.

set(CPACK_PACKAGE_NAME tavo)
set(CPACK_PACKAGE_VENDOR "Tavo")
set(CPACK_PACKAGE_CONTACT "Tavo developers <tavo@example.org>")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # README.md as README.txt with CRLF line ends, which every Windows editor shows.
  set(TAVO_ZIP_README ${CMAKE_BINARY_DIR}/README.txt)
  file(READ ${PROJECT_SOURCE_DIR}/README.md readme)
  string(REPLACE "\n" "\r\n" readme "${readme}")
  file(WRITE ${TAVO_ZIP_README} "${readme}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
  install(TARGETS tavo unlha32 unlha32_sfx RUNTIME DESTINATION . ARCHIVE DESTINATION . PUBLIC_HEADER DESTINATION .)
  install(FILES ${TAVO_ZIP_README} DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME tavo-${PROJECT_VERSION}-win32)
  include(CPack)
  return()
endif()

install(TARGETS tavo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
# tavo loads the library by its soname; under a prefix the loader does not
# search (a cmake --install to /opt or a home directory) its runpath finds it.
file(RELATIVE_PATH tavo_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set_target_properties(tavo PROPERTIES INSTALL_RPATH "$ORIGIN/${tavo_bin_to_lib}")

install(TARGETS unlha32 EXPORT unlha32Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT development
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)

include(CMakePackageConfigHelpers)
set(unlha32_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/unlha32)
install(EXPORT unlha32Targets NAMESPACE unlha32:: DESTINATION ${unlha32_cmake_dir} COMPONENT development)
file(WRITE ${CMAKE_BINARY_DIR}/unlha32Config.cmake
  "include(\"\${CMAKE_CURRENT_LIST_DIR}/unlha32Targets.cmake\")\n")
write_basic_package_version_file(${CMAKE_BINARY_DIR}/unlha32ConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/unlha32Config.cmake ${CMAKE_BINARY_DIR}/unlha32ConfigVersion.cmake
  DESTINATION ${unlha32_cmake_dir} COMPONENT development)

# The .pc file finds its prefix from its own place, so the same file serves
# the package under /usr and an install under any other prefix.
file(RELATIVE_PATH UNLHA32_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" UNLHA32_PC_PREFIX "${UNLHA32_PC_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/unlha32.pc.in ${CMAKE_BINARY_DIR}/unlha32.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/unlha32.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# The manual pages with the version filled in (build/man/, where the tests
# render them), gzipped for installation: tavo(1) with the program,
# unlha32(3) with what a library user builds with.
set(manual_pages)
foreach(page tavo.1:program unlha32.3:development)
  string(REPLACE ":" ";" page_and_component ${page})
  list(GET page_and_component 0 page)
  list(GET page_and_component 1 component)
  string(REGEX MATCH "[0-9]$" section ${page})
  configure_file(${PROJECT_SOURCE_DIR}/man/${page}.in ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
  set(packed ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${packed}
    COMMAND sh -c "gzip -9n < '${CMAKE_BINARY_DIR}/man/${page}' > '${packed}'"
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}
    VERBATIM)
  install(FILES ${packed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
  list(APPEND manual_pages ${packed})
endforeach()
add_custom_target(manual_pages ALL DEPENDS ${manual_pages})

install(FILES ${PROJECT_SOURCE_DIR}/completion/tavo.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tavo COMPONENT program)

# The three packages, in the order they install in.
set(tavo_packages library:libunlha32-${PROJECT_VERSION_MAJOR} development:libunlha32-dev program:tavo)

# Each package's documentation folder: the licence as its copyright file,
# and the changelog Debian expects of a package (gzipped, dated by the last
# commit so that the packages build the same each time).
execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%aD
  OUTPUT_VARIABLE tavo_release_date OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT tavo_release_date)
  set(tavo_release_date "Thu, 01 Jan 2026 00:00:00 +0000")
endif()
set(changelogs)
foreach(entry IN LISTS tavo_packages)
  string(REPLACE ":" ";" entry ${entry})
  list(GET entry 0 component)
  list(GET entry 1 package)
  set(changelog ${CMAKE_BINARY_DIR}/doc/${package}/changelog)
  file(WRITE ${changelog} "${package} (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
    "  * Release ${PROJECT_VERSION}.\n\n -- ${CPACK_PACKAGE_CONTACT}  ${tavo_release_date}\n")
  add_custom_command(OUTPUT ${changelog}.gz
    COMMAND sh -c "gzip -9n < '${changelog}' > '${changelog}.gz'"
    DEPENDS ${changelog}
    VERBATIM)
  list(APPEND changelogs ${changelog}.gz)
  set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${package})
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${doc_dir} RENAME copyright COMPONENT ${component})
  install(FILES ${changelog}.gz DESTINATION ${doc_dir} COMPONENT ${component})
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package})
endforeach()
add_custom_target(package_changelogs ALL DEPENDS ${changelogs})

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL library development program)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION utils)
# A shlibs file and the ldconfig trigger, so the loader's cache knows the
# soname as soon as the library's package is in.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libunlha32-${PROJECT_VERSION_MAJOR} (= ${PROJECT_VERSION})")
# tavo loads the library at run time, so no linker records the need: say it.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS "libunlha32-${PROJECT_VERSION_MAJOR} (= ${PROJECT_VERSION})")
# Each description's first line is its package's summary.
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION "LZH archiver library (unlha32)\n\
unlha32 lists, tests, extracts, creates and updates LZH archives (.lzh, .lha\n\
and self-extracting programs), driven by archiver command lines or read member\n\
by member through archive handles. This package holds the shared library.")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "LZH archiver library (unlha32) - development files\n\
unlha32 lists, tests, extracts, creates and updates LZH archives (.lzh, .lha\n\
and self-extracting programs). This package holds what building a program\n\
against it takes: the C header, the pkg-config file, the CMake package and\n\
the manual page unlha32(3).")
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION "console LZH archiver\n\
tavo lists, tests, extracts, creates and updates LZH archives (.lzh, .lha and\n\
self-extracting programs) with archiver command letters and switches; the\n\
work is done by the unlha32 library.")
include(CPack)
