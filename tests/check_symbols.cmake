cmake_policy(SET CMP0057 NEW)
# Checks that LIBRARY defines exactly the entry points of the routine table ROUTINES and of
# the stream as dynamic symbols, carries the SONAME of its major version and needs libc and nothing else
# (but the sanitizers' runtimes in a SANITIZED build).
include(${CMAKE_CURRENT_LIST_DIR}/read_routines.cmake)
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" names "${symbols}")
list(TRANSFORM names STRIP)
list(SORT names)
# The routines, the stream's C API (tessaryn_stream.h) and the one pass over every indicator,
# as cmake/Indicators.cmake lists them.
set(wanted ${ROUTINE_NAMES} ${STREAM_FUNCTIONS} ${PASS_FUNCTIONS})
# Every function the stream's header declares is among them.
if(DEFINED STREAM_HEADER)
  file(READ ${STREAM_HEADER} header)
  string(REGEX MATCHALL "TESSARYN_API [^\n(]*[ *](Tessaryn[A-Za-z]+)\\(" declared "${header}")
  list(TRANSFORM declared REPLACE ".*[ *](Tessaryn[A-Za-z]+)\\($" "\\1")
  foreach(name IN LISTS declared)
    if(NOT name IN_LIST wanted)
      message(FATAL_ERROR "${STREAM_HEADER} declares ${name}, which the check does not expect")
    endif()
  endforeach()
endif()
list(SORT wanted)
if(NOT names STREQUAL wanted)
  message(FATAL_ERROR "dynamic symbols of ${LIBRARY}: ${names}")
endif()

execute_process(COMMAND ${READELF} -d ${LIBRARY} OUTPUT_VARIABLE dynamic)
if(NOT dynamic MATCHES "SONAME\\)[^\n]*\\[libtessaryn\\.so\\.1\\]")
  message(FATAL_ERROR "no SONAME libtessaryn.so.1 in ${LIBRARY}:\n${dynamic}")
endif()

string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[[^]\n]+\\]" needed "${dynamic}")
list(TRANSFORM needed REPLACE ".*\\[(.*)\\]" "\\1")
if(SANITIZED)
  list(FILTER needed EXCLUDE REGEX "^lib(a|ub)san\\.so")
endif()
if(NOT needed STREQUAL "libc.so.6")
  message(FATAL_ERROR "${LIBRARY} needs '${needed}', expected libc.so.6 alone")
endif()
