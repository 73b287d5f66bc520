# What `cmake --install` puts where, and the packages CPack makes of it.
#
# Linux: bin/tavo, the library with its soname links, the C header, a
# pkg-config file and a CMake package (unlha32::unlha32), the manual pages
# gzipped as Debian ships them and the bash completion; CPack makes a .deb of
# that under /usr. Windows: one flat folder (tavo.exe, unlha32.dll, the
# self-extractor stub, the header and README.txt) that CPack zips. Both
# take their version from project(), as the library's UnlhaGetVersion, its
# soname, the manual pages and the usage screen do.

set(CPACK_PACKAGE_NAME tavo)
set(CPACK_PACKAGE_VENDOR "Tavo")
set(CPACK_PACKAGE_CONTACT "Tavo developers <tavo@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console LZH archiver (tavo) and its library (unlha32)")
set(CPACK_PACKAGE_DESCRIPTION
  "tavo lists, tests, extracts, creates and updates LZH archives (.lzh, .lha and\n\
self-extracting programs) with archiver command letters and switches. The work\n\
is done by unlha32, a C library loaded at run time, which other programs can\n\
use too (header, pkg-config file and CMake package included).")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # README.md as README.txt with CRLF line ends, which every Windows editor shows.
  set(TAVO_ZIP_README ${CMAKE_BINARY_DIR}/README.txt)
  file(READ ${PROJECT_SOURCE_DIR}/README.md readme)
  string(REPLACE "\n" "\r\n" readme "${readme}")
  file(WRITE ${TAVO_ZIP_README} "${readme}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
  install(TARGETS tavo unlha32 unlha32_sfx RUNTIME DESTINATION . PUBLIC_HEADER DESTINATION .)
  install(FILES ${TAVO_ZIP_README} DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME tavo-${PROJECT_VERSION}-win32)
  include(CPack)
  return()
endif()

install(TARGETS tavo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# tavo loads the library by its soname; under a prefix the loader does not
# search (a cmake --install to /opt or a home directory) its runpath finds it.
file(RELATIVE_PATH tavo_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set_target_properties(tavo PROPERTIES INSTALL_RPATH "$ORIGIN/${tavo_bin_to_lib}")

install(TARGETS unlha32 EXPORT unlha32Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

include(CMakePackageConfigHelpers)
set(unlha32_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/unlha32)
install(EXPORT unlha32Targets NAMESPACE unlha32:: DESTINATION ${unlha32_cmake_dir})
file(WRITE ${CMAKE_BINARY_DIR}/unlha32Config.cmake
  "include(\"\${CMAKE_CURRENT_LIST_DIR}/unlha32Targets.cmake\")\n")
write_basic_package_version_file(${CMAKE_BINARY_DIR}/unlha32ConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/unlha32Config.cmake ${CMAKE_BINARY_DIR}/unlha32ConfigVersion.cmake
  DESTINATION ${unlha32_cmake_dir})

# The .pc file finds its prefix from its own place, so the same file serves
# the package under /usr and an install under any other prefix.
file(RELATIVE_PATH UNLHA32_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" UNLHA32_PC_PREFIX "${UNLHA32_PC_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/unlha32.pc.in ${CMAKE_BINARY_DIR}/unlha32.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/unlha32.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The manual pages with the version filled in (build/man/, where the tests
# render them), gzipped for installation.
set(manual_pages)
foreach(page tavo.1 unlha32.3)
  string(REGEX MATCH "[0-9]$" section ${page})
  configure_file(${PROJECT_SOURCE_DIR}/man/${page}.in ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
  set(packed ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${packed}
    COMMAND sh -c "gzip -9n < '${CMAKE_BINARY_DIR}/man/${page}' > '${packed}'"
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}
    VERBATIM)
  install(FILES ${packed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  list(APPEND manual_pages ${packed})
endforeach()
add_custom_target(manual_pages ALL DEPENDS ${manual_pages})

install(FILES ${PROJECT_SOURCE_DIR}/completion/tavo.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tavo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A shlibs file and the ldconfig trigger, so the loader's cache knows the
# soname as soon as the package is in.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
include(CPack)
