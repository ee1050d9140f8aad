# Builds the C consumer with the flags pkg-config gives for tessaryn, as a user's Makefile
# would, and runs it against the library those flags name.
include_guard()

# `environment`: the pkg-config variables (PKG_CONFIG_LIBDIR=..., PKG_CONFIG_SYSROOT_DIR=...)
# that point it at the installed tree; the program goes into `work_dir`.
function(tessaryn_pkg_config_consumer pkg_config c_compiler source work_dir environment)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${environment} ${pkg_config} --cflags --libs
                          tessaryn
    OUTPUT_VARIABLE flags ERROR_VARIABLE error RESULT_VARIABLE failed
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT failed EQUAL 0)
    message(FATAL_ERROR "pkg-config does not know tessaryn (${environment}): ${error}")
  endif()
  if(NOT flags MATCHES "-L([^ ]+)")
    message(FATAL_ERROR "pkg-config gives no library directory: ${flags}")
  endif()
  set(library_dir ${CMAKE_MATCH_1})
  separate_arguments(flag_list UNIX_COMMAND "${flags}")
  set(program ${work_dir}/consumer_pkg_config)
  execute_process(
    COMMAND ${c_compiler} -std=c99 -Wall -Wextra -Wpedantic -Werror ${source} ${flag_list}
            -o ${program}
    RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
  if(NOT failed EQUAL 0)
    message(FATAL_ERROR "the consumer does not build with '${flags}':\n${log}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${library_dir} ${program}
    RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
  if(NOT failed EQUAL 0)
    message(FATAL_ERROR "the consumer built with '${flags}' fails:\n${log}")
  endif()
  message(STATUS "pkg-config: ${flags}")
endfunction()
