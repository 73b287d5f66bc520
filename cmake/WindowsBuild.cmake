# The Windows build (tavo.exe, unlha32.dll, the test double as another
# unlha32.dll, the library user's C program) made with the MinGW-w64 i686
# cross compiler as a separate CMake tree inside this build, and its
# end-to-end tests (with the double, and with the real library reading and
# writing) and the C program run under Wine in a private 32-bit prefix. The
# real library's suites run once per kind of ANSI code page it serves: 932
# (Shift_JIS, whose second bytes include 0x5C) and 1252 (single-byte
# Western); Wine takes the code page from the locale. When the cross
# compiler or Wine is missing, the Wine tests are registered as skipped with
# a note, so ctest's summary says so.
include(ExternalProject)
find_program(TAVO_MINGW_CXX i686-w64-mingw32-g++)
find_program(TAVO_WINE wine)
find_program(TAVO_WINEBOOT wineboot)

if(NOT TAVO_MINGW_CXX OR NOT TAVO_WINE OR NOT TAVO_WINEBOOT)
  message(STATUS "NOTE: i686-w64-mingw32-g++ or wine not found: the Windows build and its Wine tests are skipped")
  if(NOT TAVO_BUILD_TESTS)
    return()
  endif()
  foreach(skipped e2e.wine e2e.library.wine.cp932 e2e.library.wine.cp1252 api.handles_client.wine
          package.zip_broken_under_wine golden.wine)
    add_test(NAME ${skipped} COMMAND sh -c "echo 'NOTE: no MinGW-w64 i686 compiler or Wine: Windows tests skipped'; exit 77")
    set_tests_properties(${skipped} PROPERTIES SKIP_RETURN_CODE 77)
  endforeach()
  return()
endif()

set(TAVO_WINDOWS_DIR ${CMAKE_BINARY_DIR}/windows)
ExternalProject_Add(tavo_windows
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${TAVO_WINDOWS_DIR}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-i686.cmake
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    -DTAVO_BUILD_TESTS=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${TAVO_WINDOWS_DIR} -j2
  # The Windows package, tavo-<version>-win32.zip in the cross tree.
  INSTALL_COMMAND ${CMAKE_CPACK_COMMAND} -G ZIP --config ${TAVO_WINDOWS_DIR}/CPackConfig.cmake
  BUILD_ALWAYS ON)

if(NOT TAVO_BUILD_TESTS)
  return()
endif()

set(TAVO_WINE_ENVIRONMENT
  WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
  WINEARCH=win32
  WINEDEBUG=-all
  "WINEDLLOVERRIDES=mscoree,mshtml=")

add_test(NAME wine.prefix COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/wine-prefix.sh)
set_tests_properties(wine.prefix PROPERTIES
  ENVIRONMENT "${TAVO_WINE_ENVIRONMENT}" FIXTURES_SETUP wine TIMEOUT 300 RESOURCE_LOCK wineprefix)

add_test(NAME e2e.wine COMMAND tavo_e2e_tests
  --tavo=${TAVO_WINDOWS_DIR}/bin/tavo.exe
  --double=${TAVO_WINDOWS_DIR}/testdouble/unlha32.dll
  --partial-double=${TAVO_WINDOWS_DIR}/testdouble-partial/unlha32.dll
  --wine=${TAVO_WINE})
set_tests_properties(e2e.wine PROPERTIES
  ENVIRONMENT "${TAVO_WINE_ENVIRONMENT}" FIXTURES_REQUIRED wine TIMEOUT 900 RESOURCE_LOCK wineprefix)

foreach(code_page cp932 cp1252)
  if(code_page STREQUAL cp932)
    set(locale ja_JP.UTF-8)
  else()
    set(locale en_US.UTF-8)
  endif()
  add_test(NAME e2e.library.wine.${code_page} COMMAND tavo_e2e_library_tests
    --tavo=${TAVO_WINDOWS_DIR}/bin/tavo.exe
    --library=${TAVO_WINDOWS_DIR}/bin/unlha32.dll
    --wine=${TAVO_WINE}
    --helper=${TAVO_WINDOWS_DIR}/testhelper/windows_helper.exe
    --locale=${locale})
  set_tests_properties(e2e.library.wine.${code_page} PROPERTIES
    ENVIRONMENT "${TAVO_WINE_ENVIRONMENT}" FIXTURES_REQUIRED wine TIMEOUT 900 RESOURCE_LOCK wineprefix)
endforeach()

add_test(NAME golden.wine COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/behaviour-snapshot.sh
  --check ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR}/tests/golden/wine.expected --wine)
set_tests_properties(golden.wine PROPERTIES ENVIRONMENT "${TAVO_WINE_ENVIRONMENT}"
  FIXTURES_REQUIRED wine TIMEOUT 900 SKIP_RETURN_CODE 77 RESOURCE_LOCK "wineprefix;behaviour-snapshot")

add_test(NAME api.handles_client.wine COMMAND sh ${PROJECT_SOURCE_DIR}/tests/client/run_client.sh
  ${CMAKE_BINARY_DIR}/tests/client/run-wine ${PROJECT_SOURCE_DIR}/samples/sample.lzh
  ${TAVO_WINE} ${TAVO_WINDOWS_DIR}/bin/tavo_handles_client.exe)
set_tests_properties(api.handles_client.wine PROPERTIES
  ENVIRONMENT "${TAVO_WINE_ENVIRONMENT}" FIXTURES_REQUIRED wine TIMEOUT 300 RESOURCE_LOCK wineprefix)

add_test(NAME package.zip_broken_under_wine COMMAND bash ${PROJECT_SOURCE_DIR}/tests/packaging/zip_test.sh
  ${TAVO_WINDOWS_DIR}/tavo-${PROJECT_VERSION}-win32.zip ${TAVO_WINE} ${PROJECT_SOURCE_DIR}/samples/sample.lzh)
set_tests_properties(package.zip_broken_under_wine PROPERTIES
  ENVIRONMENT "${TAVO_WINE_ENVIRONMENT}" FIXTURES_REQUIRED wine TIMEOUT 300 RESOURCE_LOCK wineprefix LABELS package)
