# Reads code blocks out of README.md, so that the tests compile the very code the README
# shows host developers and the two cannot drift apart.

# Sets `out_var` to the one ```<language> block of `readme` that contains `containing`
# (any text when empty): its lines between the fences. Stops with an error when there is
# no such block, or more than one.
function(tessaryn_readme_block out_var readme language containing)
  file(READ ${readme} text)
  set(open_fence "\n```${language}\n")
  string(LENGTH "${open_fence}" open_length)
  set(found "")
  set(matches 0)
  while(TRUE)
    string(FIND "${text}" "${open_fence}" start)
    if(start EQUAL -1)
      break()
    endif()
    math(EXPR start "${start} + ${open_length}")
    string(SUBSTRING "${text}" ${start} -1 text)
    string(FIND "${text}" "\n```" end)
    if(end EQUAL -1)
      message(FATAL_ERROR "${readme}: a ```${language} block is not closed")
    endif()
    math(EXPR end "${end} + 1")
    string(SUBSTRING "${text}" 0 ${end} block)
    string(SUBSTRING "${text}" ${end} -1 text)
    if(containing STREQUAL "" OR block MATCHES "${containing}")
      set(found "${block}")
      math(EXPR matches "${matches} + 1")
    endif()
  endwhile()
  if(NOT matches EQUAL 1)
    message(FATAL_ERROR
      "${readme}: ${matches} ```${language} blocks contain '${containing}', expected one")
  endif()
  set(${out_var} "${found}" PARENT_SCOPE)
endfunction()
