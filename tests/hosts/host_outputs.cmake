# Runs a host program over the host series (series_files.h) and compares its output with
# the native library's, bit for bit, saying where they first differ.
include_guard()

# Stops with an error unless the files `got` and `want` (the three routines' results in
# turn, 4 bytes each) hold the same bytes; `host` names the host in the message.
function(tessaryn_compare_host_outputs host got want)
  if(NOT EXISTS ${got})
    message(FATAL_ERROR "${host}: wrote no ${got}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${got} ${want} RESULT_VARIABLE differ)
  if(differ EQUAL 0)
    return()
  endif()
  file(SIZE ${got} got_size)
  file(SIZE ${want} want_size)
  if(NOT got_size EQUAL want_size)
    message(FATAL_ERROR "${host}: ${got_size} bytes of output, expected ${want_size}")
  endif()
  # The first differing value (8 hex digits each), by bisection on equal prefixes.
  file(READ ${got} got_hex HEX)
  file(READ ${want} want_hex HEX)
  set(low 0)
  math(EXPR high "${want_size} / 4")
  while(high GREATER low)
    math(EXPR middle "(${low} + ${high}) / 2")
    math(EXPR prefix "(${middle} + 1) * 8")
    string(SUBSTRING "${got_hex}" 0 ${prefix} got_prefix)
    string(SUBSTRING "${want_hex}" 0 ${prefix} want_prefix)
    if(got_prefix STREQUAL want_prefix)
      math(EXPR low "${middle} + 1")
    else()
      set(high ${middle})
    endif()
  endwhile()
  math(EXPR bars "${want_size} / 12")
  math(EXPR routine "${low} / ${bars}")
  math(EXPR bar "${low} % ${bars}")
  set(routines ITrend CyclicalComponent Tessaryn)
  list(GET routines ${routine} name)
  math(EXPR offset "${low} * 8")
  string(SUBSTRING "${got_hex}" ${offset} 8 got_bits)
  string(SUBSTRING "${want_hex}" ${offset} 8 want_bits)
  message(FATAL_ERROR "${host}: ${name}, bar ${bar} of ${bars}: bytes ${got_bits}, "
                      "expected ${want_bits} (little-endian)")
endfunction()

# Runs the host command (the host and what goes before it: wine, mono, cmake -E env) with
# `run_dir` as working directory and the input file and `output` appended, then compares
# `output` with the series' expected.f32. What the host prints goes to `output`.log: on a
# pipe, the run would also wait for the wineserver a first Wine program starts, which keeps
# it open for seconds after the program ends.
function(tessaryn_run_host host series run_dir output)
  file(REMOVE ${output})
  execute_process(COMMAND ${ARGN} ${series}/input.f32 ${output} WORKING_DIRECTORY ${run_dir}
    RESULT_VARIABLE failed OUTPUT_FILE ${output}.log ERROR_FILE ${output}.log)
  if(NOT failed EQUAL 0)
    file(READ ${output}.log log)
    message(FATAL_ERROR "${host} failed (${failed}):\n${log}")
  endif()
  tessaryn_compare_host_outputs(${host} ${output} ${series}/expected.f32)
  message(STATUS "${host}: the three routines give the native library's bits")
endfunction()
