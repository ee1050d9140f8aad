# Compiles the README's Pascal declarations with Free Pascal in one compiler mode, into
# pascal_host.pas, and runs the host over the host series. Only the library's name changes
# on Linux: 'Tessaryn.dll' becomes 'tessaryn' (libtessaryn.so).
# -DREADME=<README.md> -DMODE=<fpc|objfpc|delphi> -DLIBRARY_DIR=<dir of libtessaryn.so>
# -DSERIES=<dir> -DWORK_DIR=<scratch dir>
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../optional_tools.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/readme_blocks.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/host_outputs.cmake)
tessaryn_need_programs("fp-compiler" fpc)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
tessaryn_readme_block(declarations ${README} pascal "external")
string(REPLACE "'Tessaryn.dll'" "'tessaryn'" linux_declarations "${declarations}")
if(linux_declarations STREQUAL declarations)
  message(FATAL_ERROR "the README's Pascal declarations name no 'Tessaryn.dll'")
endif()
file(WRITE ${WORK_DIR}/tessaryn_declarations.inc "${linux_declarations}")
set(program ${WORK_DIR}/pascal_host)
execute_process(
  COMMAND ${tool_fpc} -M${MODE} -Fi${WORK_DIR} -Fl${LIBRARY_DIR} -FU${WORK_DIR} -o${program}
          ${CMAKE_CURRENT_LIST_DIR}/pascal_host.pas
  RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT failed EQUAL 0)
  message(FATAL_ERROR "fpc -M${MODE} rejects the README's Pascal declarations:\n${log}")
endif()

tessaryn_run_host(pascal_host_${MODE} ${SERIES} ${WORK_DIR} ${WORK_DIR}/output.f32
  ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${LIBRARY_DIR} ${program})
