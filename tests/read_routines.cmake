# Reads the indicator table (filters/indicators.inc): the routines' names and ordinals, row
# by row, into the two variables named.
function(tessaryn_read_routines table names_variable ordinals_variable)
  file(STRINGS "${table}" rows REGEX "^TESSARYN_INDICATOR\\(")
  set(names)
  set(ordinals)
  foreach(row IN LISTS rows)
    if(NOT row MATCHES "^TESSARYN_INDICATOR\\(([A-Za-z0-9_]+), *([0-9]+),")
      message(FATAL_ERROR "${table}: cannot read the row '${row}'")
    endif()
    list(APPEND names ${CMAKE_MATCH_1})
    list(APPEND ordinals ${CMAKE_MATCH_2})
  endforeach()
  if(NOT names)
    message(FATAL_ERROR "${table}: no indicators")
  endif()
  set(${names_variable} ${names} PARENT_SCOPE)
  set(${ordinals_variable} ${ordinals} PARENT_SCOPE)
endfunction()

# Scripts run with -DROUTINES=<table> get ROUTINE_NAMES and ROUTINE_ORDINALS.
if(DEFINED ROUTINES)
  tessaryn_read_routines(${ROUTINES} ROUTINE_NAMES ROUTINE_ORDINALS)
endif()
