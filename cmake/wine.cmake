# Which Wine runs the Windows programs of one architecture on this machine. Debian's `wine`
# starts every program through its 32-bit loader, and some machines run no 32-bit x86 code at
# all (their kernel answers "Exec format error"): there 64-bit programs go straight to
# wine64's loader, and 32-bit ones cannot run. On others 32-bit Wine could not be installed
# (tools/install-deps leaves the reason in build/install-deps/wine32-unavailable, for a
# mirror caught mid-sync).
#
#   tessaryn_find_wine(<x86|x64> <variable>)
#
# sets <variable> to the command, or to "" and tessaryn_wine_missing to the reason, with
# tessaryn_wine_unavailable TRUE where no install on this machine can mend it now (then a run
# that needs it is a skip even where CI requires the Windows tests).
set(tessaryn_wine32_note ${CMAKE_CURRENT_LIST_DIR}/../build/install-deps/wine32-unavailable)

function(tessaryn_find_wine arch variable)
  find_program(TESSARYN_WINE_COMMAND wine)
  find_program(TESSARYN_WINE32_LOADER wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(TESSARYN_WINE64_LOADER wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  set(command "")
  set(missing "")
  set(unavailable FALSE)
  if(NOT TESSARYN_WINE_COMMAND)
    set(missing "no Wine (apt-get install wine wine32:i386 wine64)")
  else()
    set(runs32 FALSE)
    if(TESSARYN_WINE32_LOADER)
      execute_process(COMMAND ${TESSARYN_WINE32_LOADER} --version
        RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
      if(failed EQUAL 0)
        set(runs32 TRUE)
      endif()
    endif()
    if(runs32)
      set(command ${TESSARYN_WINE_COMMAND})
    elseif("${arch}" STREQUAL "x64" AND TESSARYN_WINE64_LOADER)
      set(command ${TESSARYN_WINE64_LOADER})
    elseif("${arch}" STREQUAL "x64")
      set(missing "no 64-bit Wine loader (apt-get install wine64)")
    elseif(TESSARYN_WINE32_LOADER)
      set(missing "this machine runs no 32-bit x86 programs, so 32-bit Wine cannot start")
      set(unavailable TRUE)
    elseif(EXISTS ${tessaryn_wine32_note})
      file(STRINGS ${tessaryn_wine32_note} missing LIMIT_COUNT 1)
      set(unavailable TRUE)
    else()
      set(missing "no 32-bit Wine (apt-get install wine32:i386)")
    endif()
  endif()
  set(${variable} "${command}" PARENT_SCOPE)
  set(tessaryn_wine_missing "${missing}" PARENT_SCOPE)
  set(tessaryn_wine_unavailable ${unavailable} PARENT_SCOPE)
endfunction()
