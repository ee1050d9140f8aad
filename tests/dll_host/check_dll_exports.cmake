# Checks the export and import tables of DLL, read with OBJDUMP -p: the library names
# itself Tessaryn.dll and exports exactly the routines of the table ROUTINES, undecorated, at
# their ordinals, all of them code; it imports from no DLL but KERNEL32 and msvcrt.
# TessarynStream.dll: -DLIBRARY=TessarynStream.dll -DFUNCTIONS=<names> -DORDINALS=<theirs>
# -DIMPORTS=kernel32 (a regular expression of the DLLs it may import from) instead of ROUTINES.
include(${CMAKE_CURRENT_LIST_DIR}/../read_routines.cmake)
if(NOT DEFINED ROUTINES)
  set(ROUTINE_NAMES ${FUNCTIONS})
  set(ROUTINE_ORDINALS ${ORDINALS})
endif()
if(NOT DEFINED LIBRARY)
  set(LIBRARY Tessaryn.dll)
endif()
if(NOT DEFINED IMPORTS)
  set(IMPORTS "kernel32|msvcrt")
endif()
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
execute_process(COMMAND ${OBJDUMP} -h ${DLL} OUTPUT_VARIABLE sections)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

function(expect what actual wanted)
  if(NOT "${actual}" STREQUAL "${wanted}")
    message(FATAL_ERROR "${what}: '${actual}', expected '${wanted}'")
  endif()
endfunction()

string(REGEX MATCH "\nName[ \t]+[0-9a-fA-F]+ ([^\n]*)" _ "${headers}")
expect("library name in the export directory" "${CMAKE_MATCH_1}" "${LIBRARY}")
string(REGEX MATCH "Ordinal Base[ \t]+([0-9]+)" _ "${headers}")
expect("ordinal base" "${CMAKE_MATCH_1}" "1")
string(REGEX MATCH "\tExport Address Table[ \t]+([0-9a-fA-F]+)" _ "${headers}")
list(LENGTH ROUTINE_NAMES routine_count)
math(EXPR export_count "0x${CMAKE_MATCH_1}" OUTPUT_FORMAT DECIMAL)  # objdump gives it in hex
expect("exports" "${export_count}" "${routine_count}")

# Name table rows are "[ordinal - base] name".
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(([ \t]*\\[[ 0-9]+\\] [^\n]+\n)*)" _
  "${headers}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" rows "${CMAKE_MATCH_1}")
list(TRANSFORM rows REPLACE "\\[ *([0-9]+)\\] " "\\1 ")
list(SORT rows)  # the table's own order is the names'; ordinals past 9 sort apart
set(wanted_rows)
foreach(name ordinal IN ZIP_LISTS ROUTINE_NAMES ROUTINE_ORDINALS)
  math(EXPR index "${ordinal} - 1")
  list(APPEND wanted_rows "${index} ${name}")
endforeach()
list(SORT wanted_rows)
expect("exported names by ordinal - 1" "${rows}" "${wanted_rows}")

# Every exported address lies in a code section: nothing exported is data.
string(REGEX MATCH "ImageBase[ \t]+([0-9a-fA-F]+)" _ "${headers}")
math(EXPR image_base "0x${CMAKE_MATCH_1}")
string(REGEX MATCHALL "[ \t]*[0-9]+ [^ \n]+ +[0-9a-f]+ +[0-9a-f]+[^\n]*\n[^\n]*CODE" code "${sections}")
string(REGEX MATCHALL "\\+base\\[ *[0-9]+\\] +([0-9a-fA-F]+)" addresses "${headers}")
foreach(address IN LISTS addresses)
  string(REGEX REPLACE ".* ([0-9a-fA-F]+)$" "\\1" rva "${address}")
  math(EXPR va "${image_base} + 0x${rva}")
  set(in_code FALSE)
  foreach(section IN LISTS code)
    string(REGEX MATCH "[0-9]+ [^ ]+ +([0-9a-f]+) +([0-9a-f]+)" _ "${section}")
    math(EXPR begin "0x${CMAKE_MATCH_2}")
    math(EXPR end "0x${CMAKE_MATCH_2} + 0x${CMAKE_MATCH_1}")
    if(va GREATER_EQUAL begin AND va LESS end)
      set(in_code TRUE)
    endif()
  endforeach()
  if(NOT in_code)
    message(FATAL_ERROR "export at RVA ${rva} is not in a code section")
  endif()
endforeach()
list(LENGTH addresses count)
expect("export addresses" "${count}" "${routine_count}")

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
foreach(import IN LISTS imports)
  string(TOLOWER "${import}" import)
  if(NOT import MATCHES "^dll name: (${IMPORTS})\\.dll$")
    message(FATAL_ERROR "imports from a DLL a host may not have: ${import}")
  endif()
endforeach()
message(STATUS "${DLL}: ${LIBRARY}, ${routine_count} exports by name at their ordinals, "
               "imports: ${imports}")
