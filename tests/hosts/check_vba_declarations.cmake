# Checks the README's VBA declarations against the C header, since no VBA can run here: one
# Sub per exported function (by its name or an Alias of it) from LIBRARY, with the C
# parameters in order, each passed as VBA must pass that C type (32-bit Office), and a
# Function of the matching type where the C function returns a value.
# -DREADME=<README.md> -DHEADER=<tessaryn.h|tessaryn_stream.h>
# -DLIBRARY=<Tessaryn.dll|TessarynStream.dll> -DCONTAINING=<what tells the README's block>
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/readme_blocks.cmake)

# How VBA passes each C parameter type: arrays by their first element, numbers by value, a
# stream's handle as the 32-bit number it is in 32-bit Office.
# Bytes by the first of a Byte array; a 64-bit integer as a Currency (8 bytes, its value
# scaled by 10,000).
set(vba_passing "const float*=ByRef Single" "float*=ByRef Single" "int32_t=ByVal Long"
    "float=ByVal Single" "TessarynStream*=ByVal Long" "const TessarynStream*=ByVal Long"
    "void*=ByRef Byte" "const void*=ByRef Byte" "int64_t=ByVal Currency"
    "int64_t*=ByRef Currency" "int32_t*=ByRef Long")
# What each C result is in VBA: a Sub, or a Function of that type. A 64-bit integer comes
# back in EDX:EAX as a Currency does (its value scaled by 10,000); a pointer as a Long.
set(vba_results "void=Sub" "int32_t=Long" "int64_t=Currency" "TessarynStream*=Long"
    "const char*=Long")

function(vba_of pairs c_type out_var)
  set(found "")
  foreach(pair IN LISTS ${pairs})
    string(FIND "${pair}" "=" equals)
    string(SUBSTRING "${pair}" 0 ${equals} c)
    if(c STREQUAL c_type)
      math(EXPR equals "${equals} + 1")
      string(SUBSTRING "${pair}" ${equals} -1 found)
    endif()
  endforeach()
  set(${out_var} "${found}" PARENT_SCOPE)
endfunction()

# The header's functions: name -> VBA parameter passing, in order.
file(READ ${HEADER} header)
string(REGEX MATCHALL "TESSARYN_API [^(;]* TESSARYN_CALL [A-Za-z0-9_]+\\([^)]*\\)" functions
       "${header}")
set(c_names "")
foreach(function IN LISTS functions)
  string(REGEX MATCH "TESSARYN_API ([^(;]*) TESSARYN_CALL ([A-Za-z0-9_]+)\\(([^)]*)\\)" _
         "${function}")
  set(result "${CMAKE_MATCH_1}")
  set(name ${CMAKE_MATCH_2})
  string(REGEX REPLACE "[ \n]+" " " parameters "${CMAKE_MATCH_3}")
  string(REGEX REPLACE " *\\* *" "*" result "${result}")
  vba_of(vba_results "${result}" vba_result)
  if(NOT vba_result)
    message(FATAL_ERROR "${HEADER}: ${name} returns a '${result}', which this check cannot map")
  endif()
  set(c_result_${name} "${vba_result}")
  string(REPLACE "," ";" parameters "${parameters}")
  set(passing "")
  foreach(parameter IN LISTS parameters)
    string(STRIP "${parameter}" parameter)
    string(REGEX REPLACE "([A-Za-z0-9_]+)\\[[0-9]*\\]$" "*\\1" parameter "${parameter}")
    string(REGEX REPLACE " *\\**[A-Za-z0-9_]+$" "" type "${parameter}")
    if(parameter MATCHES "\\*[A-Za-z0-9_]+$")
      string(APPEND type "*")
    endif()
    string(REGEX REPLACE " *\\* *" "*" type "${type}")
    vba_of(vba_passing "${type}" vba)
    if(NOT vba)
      message(FATAL_ERROR "${HEADER}: ${name} takes a '${type}', which this check cannot map")
    endif()
    list(APPEND passing "${vba}")
  endforeach()
  set(c_passing_${name} "${passing}")
  list(APPEND c_names ${name})
endforeach()
if(NOT c_names)
  message(FATAL_ERROR "${HEADER} declares no TESSARYN_CALL functions")
endif()

# The README's declarations, continuation lines joined.
tessaryn_readme_block(block ${README} vb "${CONTAINING}")
string(REGEX REPLACE " _\n *" " " block "${block}")
string(REGEX MATCHALL "[^\n]*Declare[^\n]*" declarations "${block}")
set(declared "")
# (CMake's expressions hold at most nine groups: the optional words in front go first.)
string(CONCAT declaration_pattern "^Declare (Sub|Function) ([A-Za-z0-9_]+)"
  " Lib \"([^\"]+)\"( Alias \"([^\"]+)\")? *\\( *(.*)\\)( As ([A-Za-z]+))?$")
foreach(declaration IN LISTS declarations)
  string(STRIP "${declaration}" declaration)
  string(REGEX REPLACE "^(Private |Public )?(Declare )(PtrSafe )?" "\\2" declaration
         "${declaration}")
  if(NOT declaration MATCHES "${declaration_pattern}")
    message(FATAL_ERROR "not a Declare of a DLL procedure: ${declaration}")
  endif()
  set(kind ${CMAKE_MATCH_1})
  set(vba_name ${CMAKE_MATCH_2})
  set(library ${CMAKE_MATCH_3})
  set(entry ${CMAKE_MATCH_5})
  string(REPLACE "," ";" parameters "${CMAKE_MATCH_6}")
  set(returns "${CMAKE_MATCH_8}")
  if(kind STREQUAL "Sub")
    set(returns Sub)
  endif()
  if(NOT entry)
    set(entry ${vba_name})
  endif()
  if(NOT library STREQUAL LIBRARY)
    message(FATAL_ERROR "${vba_name}: Lib \"${library}\", expected \"${LIBRARY}\"")
  endif()
  if(NOT entry IN_LIST c_names)
    message(FATAL_ERROR "${vba_name}: calls '${entry}', which ${HEADER} does not declare")
  endif()
  if(entry IN_LIST declared)
    message(FATAL_ERROR "${entry} is declared twice")
  endif()
  list(APPEND declared ${entry})
  if(NOT returns STREQUAL c_result_${entry})
    message(FATAL_ERROR "${vba_name}: declared to return '${returns}', "
                        "but ${entry} in C needs '${c_result_${entry}}'")
  endif()
  set(passing "")
  foreach(parameter IN LISTS parameters)
    string(STRIP "${parameter}" parameter)
    if(NOT parameter MATCHES "^(ByRef|ByVal) [A-Za-z0-9_]+ As ([A-Za-z]+)$")
      message(FATAL_ERROR "${vba_name}: parameter '${parameter}' lacks ByRef/ByVal or a type")
    endif()
    list(APPEND passing "${CMAKE_MATCH_1} ${CMAKE_MATCH_2}")
  endforeach()
  if(NOT passing STREQUAL c_passing_${entry})
    message(FATAL_ERROR "${vba_name}: parameters pass as '${passing}', "
                        "but ${entry} in C needs '${c_passing_${entry}}'")
  endif()
endforeach()

list(SORT declared)
list(SORT c_names)
if(NOT declared STREQUAL c_names)
  message(FATAL_ERROR "the README declares '${declared}' in VBA, the header '${c_names}'")
endif()
message(STATUS "VBA declarations of ${declared} match the C header")
