# Compiles the README's Pascal declarations with Free Pascal in one compiler mode, into the
# host (pascal_host.pas, the routines, including tessaryn_declarations.inc;
# pascal_stream_host.pas, the stream, tessaryn_stream_declarations.inc), and runs it over the
# host series. Only the library's name changes on Linux: 'Tessaryn.dll' and
# 'TessarynStream.dll' become 'tessaryn' (libtessaryn.so).
# -DREADME=<README.md> -DMODE=<fpc|objfpc|delphi> -DLIBRARY_DIR=<dir of libtessaryn.so>
# -DSERIES=<dir> -DWORK_DIR=<scratch dir> -DHOST=<pascal_host|pascal_stream_host>
# -DCONTAINING=<what tells the README's block> -DINCLUDE=<the .inc file the host includes>
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../optional_tools.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/readme_blocks.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/host_outputs.cmake)
tessaryn_need_programs("fp-compiler" fpc)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
tessaryn_readme_block(declarations ${README} pascal "${CONTAINING}")
string(REGEX REPLACE "'Tessaryn(Stream)?\\.dll'" "'tessaryn'" linux_declarations
       "${declarations}")
if(linux_declarations STREQUAL declarations)
  message(FATAL_ERROR "the README's Pascal declarations name no 'Tessaryn.dll'")
endif()
file(WRITE ${WORK_DIR}/${INCLUDE} "${linux_declarations}")
set(program ${WORK_DIR}/${HOST})
execute_process(
  COMMAND ${tool_fpc} -M${MODE} -Fi${WORK_DIR} -Fi${CMAKE_CURRENT_LIST_DIR} -Fl${LIBRARY_DIR} -FU${WORK_DIR} -o${program}
          ${CMAKE_CURRENT_LIST_DIR}/${HOST}.pas
  RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT failed EQUAL 0)
  message(FATAL_ERROR "fpc -M${MODE} rejects the README's Pascal declarations:\n${log}")
endif()

tessaryn_run_host(${HOST}_${MODE} ${SERIES} ${WORK_DIR} ${WORK_DIR}/output.f32
  ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${LIBRARY_DIR} ${program})
