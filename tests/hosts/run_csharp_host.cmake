# Compiles the README's C# declarations, as written, with Mono's compiler beside
# csharp_host.cs, maps Tessaryn.dll to the shared library with the README's dllmap, and runs
# the host over the host series.
# -DREADME=<README.md> -DLIBRARY_DIR=<dir of libtessaryn.so.1> -DSERIES=<dir>
# -DWORK_DIR=<scratch dir>
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../optional_tools.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/readme_blocks.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/host_outputs.cmake)
tessaryn_need_programs("mono-mcs" mcs mono)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
tessaryn_readme_block(declarations ${README} csharp "DllImport")
file(WRITE ${WORK_DIR}/readme_declarations.cs "${declarations}")
set(program ${WORK_DIR}/csharp_host.exe)
execute_process(
  COMMAND ${tool_mcs} -warnaserror+ -out:${program} ${CMAKE_CURRENT_LIST_DIR}/csharp_host.cs
          ${WORK_DIR}/readme_declarations.cs
  RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT failed EQUAL 0)
  message(FATAL_ERROR "mcs rejects the README's C# declarations:\n${log}")
endif()

# The mapping the README gives Mono users, found by the dynamic loader on LD_LIBRARY_PATH.
file(READ ${README} readme)
if(NOT readme MATCHES "<dllmap [^>]*/>")
  message(FATAL_ERROR "${README} shows no <dllmap .../> for Mono")
endif()
string(REGEX REPLACE "[ \n]+" " " dllmap "${CMAKE_MATCH_0}")
file(WRITE ${program}.config "<configuration>\n  ${dllmap}\n</configuration>\n")

tessaryn_run_host(csharp_host ${SERIES} ${WORK_DIR} ${WORK_DIR}/output.f32
  ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${LIBRARY_DIR} ${tool_mono} ${program})
