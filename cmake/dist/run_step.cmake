# A command of the dist scripts: run, and stop with its output when it fails.
include_guard()

# Runs the command in ARGN (in WORKING_DIRECTORY when given); stops with `what` and the
# command's output when it fails.
function(tessaryn_run_step what)
  cmake_parse_arguments(PARSE_ARGV 1 step "" "WORKING_DIRECTORY" "COMMAND")
  if(NOT step_WORKING_DIRECTORY)
    set(step_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  execute_process(COMMAND ${step_COMMAND} WORKING_DIRECTORY ${step_WORKING_DIRECTORY}
    RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
  if(NOT failed EQUAL 0)
    list(JOIN step_COMMAND " " command)
    message(FATAL_ERROR "${what} failed: ${command}\n${log}")
  endif()
endfunction()

# Stops unless every program in ARGN is installed, naming the Debian packages that bring
# them; sets tool_<name> (a C identifier) to each one's path.
macro(tessaryn_dist_needs packages)
  foreach(tessaryn_program IN ITEMS ${ARGN})
    string(MAKE_C_IDENTIFIER "tool_${tessaryn_program}" tessaryn_variable)
    find_program(${tessaryn_variable} ${tessaryn_program})
    if(NOT ${tessaryn_variable})
      message(FATAL_ERROR "dist needs ${tessaryn_program}: apt-get install ${packages}")
    endif()
  endforeach()
endmacro()
