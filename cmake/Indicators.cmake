# The indicator table (filters/indicators.inc), read once: TESSARYN_ROUTINES and
# TESSARYN_ORDINALS, row by row, and the export files made from them in the build tree:
# the ELF version script (the routines and the stream's C API) and the DLL's module
# definitions (plain names, and the 32-bit import names decorated stdcall-style).
include(${CMAKE_CURRENT_LIST_DIR}/../tests/read_routines.cmake)
tessaryn_read_routines(${PROJECT_SOURCE_DIR}/filters/indicators.inc TESSARYN_ROUTINES
                       TESSARYN_ORDINALS)

# The stream's C API (exports/tessaryn_stream.h), exported beside the routines by the shared
# library.
set(TESSARYN_STREAM_FUNCTIONS TessarynStreamCreate TessarynStreamDestroy TessarynStreamPush
    TessarynStreamRevise TessarynStreamPushMany TessarynStreamSize TessarynStreamReset
    TessarynStreamMessage)

set(tessaryn_generated ${PROJECT_BINARY_DIR}/exports)
set(map "{\n  global:\n")
foreach(name IN LISTS TESSARYN_ROUTINES TESSARYN_STREAM_FUNCTIONS)
  string(APPEND map "    ${name};\n")
endforeach()
string(APPEND map "  local:\n    *;\n};\n")

# By ordinal, as the export tables list them.
set(by_ordinal "")
foreach(name ordinal IN ZIP_LISTS TESSARYN_ROUTINES TESSARYN_ORDINALS)
  math(EXPR key "10000 + ${ordinal}")
  list(APPEND by_ordinal "${key}:${name}")
endforeach()
list(SORT by_ordinal)
set(def "")
string(APPEND def "; Export table of Tessaryn.dll, from filters/indicators.inc: the entry points by\n")
string(APPEND def "; name, undecorated, with their fixed ordinals. Nothing else is exported.\n")
string(APPEND def "LIBRARY \"Tessaryn.dll\"\nEXPORTS\n")
set(def_x86 "")
string(APPEND def_x86 "; Import names of the 32-bit Tessaryn.dll, from filters/indicators.inc: its\n")
string(APPEND def_x86 "; stdcall entry points as compilers name them, decorated with their 16 bytes of\n")
string(APPEND def_x86 "; arguments. Import libraries made from this list with dlltool -k ask the DLL for\n")
string(APPEND def_x86 "; the plain names it exports (tessaryn.def).\n")
string(APPEND def_x86 "LIBRARY \"Tessaryn.dll\"\nEXPORTS\n")
foreach(entry IN LISTS by_ordinal)
  string(REGEX MATCH "^([0-9]+):(.*)$" parts "${entry}")
  math(EXPR ordinal "${CMAKE_MATCH_1} - 10000")
  string(APPEND def "    ${CMAKE_MATCH_2} @${ordinal}\n")
  string(APPEND def_x86 "    ${CMAKE_MATCH_2}@16 @${ordinal}\n")
endforeach()
file(CONFIGURE OUTPUT ${tessaryn_generated}/tessaryn.map CONTENT "${map}")
file(CONFIGURE OUTPUT ${tessaryn_generated}/tessaryn.def CONTENT "${def}")
file(CONFIGURE OUTPUT ${tessaryn_generated}/tessaryn-x86.def CONTENT "${def_x86}")
set(TESSARYN_VERSION_SCRIPT ${tessaryn_generated}/tessaryn.map)
set(TESSARYN_DEF ${tessaryn_generated}/tessaryn.def)
set(TESSARYN_DEF_X86 ${tessaryn_generated}/tessaryn-x86.def)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/filters/indicators.inc)
