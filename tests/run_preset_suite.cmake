# Configures, builds and tests one preset for another platform (PRESET: wasm, linux-arm64)
# from within the native suite, its tests holding it to this build's bits (REFERENCE, the
# case file write_reference_cases wrote, handed over as TESSARYN_REFERENCE_CASES).
# -DSOURCE_DIR=<project> -DPRESET=<preset> -DREFERENCE=<case file> -DPACKAGES=<Debian
# packages that bring the tools> -DPROGRAMS=<programs the preset needs, ;-separated>
include(${CMAKE_CURRENT_LIST_DIR}/optional_tools.cmake)
tessaryn_need_programs("${PACKAGES}" ${PROGRAMS})

foreach(step IN ITEMS
    "${CMAKE_COMMAND};--preset;${PRESET}"
    "${CMAKE_COMMAND};--build;--preset;${PRESET}"
    "${CMAKE_COMMAND};-E;env;TESSARYN_REFERENCE_CASES=${REFERENCE};${CMAKE_CTEST_COMMAND};--preset;${PRESET}")
  execute_process(COMMAND ${step} WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE failed)
  if(failed)
    list(JOIN step " " command)
    message(FATAL_ERROR "${PRESET}: '${command}' failed")
  endif()
endforeach()
