# Compiles the README's C# declarations, as written, with Mono's compiler beside the host
# (csharp_host.cs, the routines; csharp_stream_host.cs, the stream), maps the DLLs to the
# shared library with the README's dllmaps, and runs the host over the host series.
# -DREADME=<README.md> -DLIBRARY_DIR=<dir of libtessaryn.so.1> -DSERIES=<dir>
# -DWORK_DIR=<scratch dir> -DHOST=<csharp_host|csharp_stream_host>
# -DCONTAINING=<what tells the README's block of declarations>
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../optional_tools.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/readme_blocks.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/host_outputs.cmake)
tessaryn_need_programs("mono-mcs" mcs mono)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
tessaryn_readme_block(declarations ${README} csharp "${CONTAINING}")
file(WRITE ${WORK_DIR}/readme_declarations.cs "${declarations}")
set(program ${WORK_DIR}/${HOST}.exe)
execute_process(
  COMMAND ${tool_mcs} -warnaserror+ -out:${program} ${CMAKE_CURRENT_LIST_DIR}/${HOST}.cs
          ${CMAKE_CURRENT_LIST_DIR}/host_series.cs
          ${WORK_DIR}/readme_declarations.cs
  RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT failed EQUAL 0)
  message(FATAL_ERROR "mcs rejects the README's C# declarations:\n${log}")
endif()

# The mappings the README gives Mono users, found by the dynamic loader on LD_LIBRARY_PATH.
file(READ ${README} readme)
string(REGEX MATCHALL "<dllmap [^>]*/>" dllmaps "${readme}")
if(NOT dllmaps)
  message(FATAL_ERROR "${README} shows no <dllmap .../> for Mono")
endif()
list(TRANSFORM dllmaps REPLACE "[ \n]+" " ")
list(JOIN dllmaps "\n  " dllmaps)
file(WRITE ${program}.config "<configuration>\n  ${dllmaps}\n</configuration>\n")

tessaryn_run_host(${HOST} ${SERIES} ${WORK_DIR} ${WORK_DIR}/output.f32
  ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${LIBRARY_DIR} ${tool_mono} ${program})
