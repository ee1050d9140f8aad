# The indicator table (filters/indicators.inc), read once: TESSARYN_ROUTINES and
# TESSARYN_ORDINALS, row by row, and the export files made from them in the build tree:
# the ELF version script (the routines and the stream's C API) and the module definitions
# of the DLLs (plain names, and the 32-bit import names decorated stdcall-style).
include(${CMAKE_CURRENT_LIST_DIR}/../tests/read_routines.cmake)
tessaryn_read_routines(${PROJECT_SOURCE_DIR}/filters/indicators.inc TESSARYN_ROUTINES
                       TESSARYN_ORDINALS)

# The stream's C API (exports/tessaryn_stream.h), exported beside the routines by the shared
# library and alone by TessarynStream.dll, with the bytes of arguments each takes on 32-bit
# x86 (its stdcall decoration). The first eight have the ordinals of their names' alphabetical
# order, as they always had; each function added later takes the next ordinal, in the order
# listed, so that no earlier ordinal moves.
set(tessaryn_stream_first TessarynStreamCreate:4 TessarynStreamDestroy:4 TessarynStreamPush:16
    TessarynStreamRevise:16 TessarynStreamPushMany:28 TessarynStreamSize:4
    TessarynStreamReset:4 TessarynStreamMessage:4)
set(tessaryn_stream_later TessarynStreamSave:20 TessarynStreamRestore:16)
set(tessaryn_stream_api ${tessaryn_stream_first} ${tessaryn_stream_later})
set(TESSARYN_STREAM_FUNCTIONS ${tessaryn_stream_api})
list(TRANSFORM TESSARYN_STREAM_FUNCTIONS REPLACE ":.*" "")
set(tessaryn_stream_bytes ${tessaryn_stream_api})
list(TRANSFORM tessaryn_stream_bytes REPLACE ".*:" "")
set(sorted ${tessaryn_stream_first})
list(TRANSFORM sorted REPLACE ":.*" "")
list(SORT sorted)
list(LENGTH sorted first_count)
set(TESSARYN_STREAM_ORDINALS)
foreach(name IN LISTS TESSARYN_STREAM_FUNCTIONS)
  list(FIND sorted ${name} index)
  if(index LESS 0)
    list(LENGTH TESSARYN_STREAM_ORDINALS index)
  endif()
  math(EXPR ordinal "${index} + 1")
  list(APPEND TESSARYN_STREAM_ORDINALS ${ordinal})
endforeach()

# The one pass that fills every indicator's values (exports/tessaryn.h): in the shared and
# static libraries only, the DLLs keeping to their own lists.
set(TESSARYN_PASS_FUNCTIONS TessarynIndicators)

set(tessaryn_generated ${PROJECT_BINARY_DIR}/exports)
set(map "{\n  global:\n")
foreach(name IN LISTS TESSARYN_ROUTINES TESSARYN_STREAM_FUNCTIONS TESSARYN_PASS_FUNCTIONS)
  string(APPEND map "    ${name};\n")
endforeach()
string(APPEND map "  local:\n    *;\n};\n")
file(CONFIGURE OUTPUT ${tessaryn_generated}/tessaryn.map CONTENT "${map}")
set(TESSARYN_VERSION_SCRIPT ${tessaryn_generated}/tessaryn.map)

# tessaryn_write_defs(<dll> <names> <ordinals> <argument bytes> <file> <32-bit import file>)
# writes the DLL's module definition (its names undecorated, at their ordinals, nothing else)
# and the list its 32-bit import libraries are made from: the names as compilers refer to the
# stdcall functions (ITrend@16), which import libraries made with dlltool -k ask the DLL for
# by their plain names.
function(tessaryn_write_defs dll names ordinals bytes file file_x86)
  set(by_ordinal "")
  foreach(name ordinal size IN ZIP_LISTS ${names} ${ordinals} ${bytes})
    math(EXPR key "10000 + ${ordinal}")
    list(APPEND by_ordinal "${key}:${name}:${size}")
  endforeach()
  list(SORT by_ordinal)
  set(def "; Export table of ${dll}, made by cmake/Indicators.cmake: the functions by name,\n")
  string(APPEND def "; undecorated, with their fixed ordinals. Nothing else is exported.\n")
  string(APPEND def "LIBRARY \"${dll}\"\nEXPORTS\n")
  set(def_x86 "; Import names of the 32-bit ${dll}: its stdcall functions as compilers name\n")
  string(APPEND def_x86 "; them, decorated with their bytes of arguments.\n")
  string(APPEND def_x86 "LIBRARY \"${dll}\"\nEXPORTS\n")
  foreach(entry IN LISTS by_ordinal)
    string(REGEX MATCH "^([0-9]+):([^:]*):(.*)$" parts "${entry}")
    math(EXPR ordinal "${CMAKE_MATCH_1} - 10000")
    string(APPEND def "    ${CMAKE_MATCH_2} @${ordinal}\n")
    string(APPEND def_x86 "    ${CMAKE_MATCH_2}@${CMAKE_MATCH_3} @${ordinal}\n")
  endforeach()
  file(CONFIGURE OUTPUT ${file} CONTENT "${def}")
  file(CONFIGURE OUTPUT ${file_x86} CONTENT "${def_x86}")
endfunction()

set(tessaryn_routine_bytes ${TESSARYN_ROUTINES})
list(TRANSFORM tessaryn_routine_bytes REPLACE "^.+$" "16")
set(TESSARYN_DEF ${tessaryn_generated}/tessaryn.def)
set(TESSARYN_DEF_X86 ${tessaryn_generated}/tessaryn-x86.def)
tessaryn_write_defs(Tessaryn.dll TESSARYN_ROUTINES TESSARYN_ORDINALS tessaryn_routine_bytes
                    ${TESSARYN_DEF} ${TESSARYN_DEF_X86})
set(TESSARYN_STREAM_DEF ${tessaryn_generated}/tessaryn_stream.def)
set(TESSARYN_STREAM_DEF_X86 ${tessaryn_generated}/tessaryn_stream-x86.def)
tessaryn_write_defs(TessarynStream.dll TESSARYN_STREAM_FUNCTIONS TESSARYN_STREAM_ORDINALS
                    tessaryn_stream_bytes ${TESSARYN_STREAM_DEF} ${TESSARYN_STREAM_DEF_X86})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/filters/indicators.inc)
