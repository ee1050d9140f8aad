# Configures, builds and tests one Windows preset (PRESET) from within the native suite.
# -DSOURCE_DIR=<project> -DPRESET=windows-x86|windows-x64 -DCOMPILER=<cross g++>
# -DREFERENCE=<case file written by write_reference_cases> -DWINEPREFIX=<shared prefix>
# -DHOST_SERIES=<dir written by write_host_series, for the README's C hosts>
include(${CMAKE_CURRENT_LIST_DIR}/optional_tools.cmake)
tessaryn_need_programs("g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64"
  ${COMPILER} wine)

foreach(step IN ITEMS
    "${CMAKE_COMMAND};--preset;${PRESET};-DTESSARYN_REFERENCE_CASES=${REFERENCE};-DTESSARYN_WINEPREFIX=${WINEPREFIX};-DTESSARYN_HOST_SERIES=${HOST_SERIES}"
    "${CMAKE_COMMAND};--build;--preset;${PRESET}"
    "${CMAKE_CTEST_COMMAND};--preset;${PRESET}")
  execute_process(COMMAND ${step} WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE failed)
  if(failed)
    list(JOIN step " " command)
    message(FATAL_ERROR "${PRESET}: '${command}' failed")
  endif()
endforeach()
