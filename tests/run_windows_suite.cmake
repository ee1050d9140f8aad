# Configures, builds and tests one Windows preset (PRESET) from within the native suite.
# -DSOURCE_DIR=<project> -DPRESET=windows-x86|windows-x64 -DCOMPILER=<cross g++>
# -DREFERENCE=<case file written by write_reference_cases> -DWINEPREFIX=<shared prefix>
# -DHOST_SERIES=<dir written by write_host_series, for the README's C hosts>
include(${CMAKE_CURRENT_LIST_DIR}/optional_tools.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/wine.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/preset_steps.cmake)
tessaryn_need_programs("g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64"
  ${COMPILER} wine)

tessaryn_preset_steps(${SOURCE_DIR} ${PRESET} CONFIGURE -DTESSARYN_REFERENCE_CASES=${REFERENCE}
  -DTESSARYN_WINEPREFIX=${WINEPREFIX} -DTESSARYN_HOST_SERIES=${HOST_SERIES})

# Built, and its exports checked, but not run where this machine cannot run its programs. A
# limit of the machine (or of its package mirror) is a skip even where CI requires these
# tests; a Wine that could be installed but is not fails there.
string(REPLACE "windows-" "" arch ${PRESET})
tessaryn_find_wine(${arch} wine_command)
if(wine_command)
  # Where this machine runs the DLL, the tree must have run it too: a tree that left its
  # Wine tests out would pass with nothing run.
  execute_process(COMMAND ${CMAKE_CTEST_COMMAND} --test-dir build/${PRESET} -N -R "^dll_host$"
    WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE listed)
  if(NOT listed MATCHES "Test +#[0-9]+: dll_host\n")
    message(FATAL_ERROR "${PRESET}: Wine runs here (${wine_command}), but the tree's tests "
                        "leave the DLL unrun")
  endif()
else()
  if(DEFINED ENV{TESSARYN_REQUIRE_WINDOWS_TESTS} AND NOT tessaryn_wine_unavailable)
    message(FATAL_ERROR "${PRESET}: ${tessaryn_wine_missing}; TESSARYN_REQUIRE_WINDOWS_TESTS is set")
  endif()
  message("SKIPPED: ${PRESET}: the DLL was built and its exports checked, but not run under "
          "Wine: ${tessaryn_wine_missing}")
endif()
