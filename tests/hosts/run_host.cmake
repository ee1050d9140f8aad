# Runs a host program over the host series and compares its output with the native
# library's, bit for bit.
# -DHOST=<program> [-DEMULATOR=<wine>] -DSERIES=<dir with input.f32, expected.f32>
# -DOUTPUT=<file the host writes>
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/host_outputs.cmake)
get_filename_component(name ${HOST} NAME)
get_filename_component(dir ${HOST} DIRECTORY)
tessaryn_run_host(${name} ${SERIES} ${dir} ${OUTPUT} ${EMULATOR} ${HOST})
