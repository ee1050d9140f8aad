# Configures, builds and tests the preset `preset` of the project in `source_dir`, from that
# folder, as a user would; the first step that fails ends the calling script, naming its
# command. CONFIGURE: more arguments for the configure step; TEST_ENV: NAME=value pairs in
# the tests' environment.
function(tessaryn_preset_steps source_dir preset)
  cmake_parse_arguments(PARSE_ARGV 2 with "" "" "CONFIGURE;TEST_ENV")
  foreach(kind IN ITEMS configure build test)
    if(kind STREQUAL "configure")
      set(step ${CMAKE_COMMAND} --preset ${preset} ${with_CONFIGURE})
    elseif(kind STREQUAL "build")
      set(step ${CMAKE_COMMAND} --build --preset ${preset})
    else()
      set(step ${CMAKE_COMMAND} -E env ${with_TEST_ENV} ${CMAKE_CTEST_COMMAND} --preset ${preset})
    endif()
    execute_process(COMMAND ${step} WORKING_DIRECTORY ${source_dir} RESULT_VARIABLE failed)
    if(failed)
      list(JOIN step " " command)
      message(FATAL_ERROR "${preset}: '${command}' failed")
    endif()
  endforeach()
endfunction()
