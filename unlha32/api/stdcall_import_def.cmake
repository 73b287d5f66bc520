# Writes the module definition that dlltool makes unlha32's import library
# from: one line per export in its stdcall form (Unlha@16), taken from the
# definition the linker wrote while it made the DLL (Unlha = Unlha@16 @1).
# With dlltool's --kill-at, each function is then found under the name a
# caller's reference carries and imported by the name the DLL exports.
# Arguments: -D LINKER_DEF=... -D IMPORT_DEF=...
file(STRINGS ${LINKER_DEF} lines)
set(def "LIBRARY unlha32.dll\nEXPORTS\n")
foreach(line IN LISTS lines)
  if(line MATCHES "= ([A-Za-z_]+@[0-9]+)")
    string(APPEND def "  ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
file(WRITE ${IMPORT_DEF} "${def}")
