# Installs the build under a prefix chosen only now (cmake --install --prefix) and builds the
# C consumer with pkg-config from it: tessaryn.pc must name that prefix.
# -DBUILD_DIR -DWORK_DIR -DCONSUMER=<consumer.c> -DC_COMPILER -DCONFIG
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../optional_tools.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/pkg_config_consumer.cmake)
tessaryn_need_programs("pkg-config" pkg-config)

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                        --config ${CONFIG}
  RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT failed EQUAL 0)
  message(FATAL_ERROR "install failed:\n${log}")
endif()
file(GLOB_RECURSE pc_files ${prefix}/tessaryn.pc)
if(NOT pc_files)
  message(FATAL_ERROR "no tessaryn.pc installed under ${prefix}")
endif()
get_filename_component(pc_dir ${pc_files} DIRECTORY)
tessaryn_pkg_config_consumer(${tool_pkg_config} ${C_COMPILER} ${CONSUMER} ${WORK_DIR}
  "PKG_CONFIG_LIBDIR=${pc_dir}")
