# Tools a test needs beyond the compiler (Mono, Free Pascal, MinGW-w64, Wine, dpkg-deb...).
# Where one is missing the test prints "SKIPPED: <reason>" and ends, and ctest counts it
# as skipped (SKIP_REGULAR_EXPRESSION); with TESSARYN_REQUIRE_WINDOWS_TESTS or
# TESSARYN_REQUIRE_PLATFORM_TESTS (WebAssembly, ARM) set in the environment (CI sets both)
# every such test must run, and a missing tool fails it.

# Finds each program named after `packages` (the Debian packages that bring them) and sets
# tool_<name> to its path, <name> made a C identifier (tool_i686_w64_mingw32_gcc_win32).
# A macro, so that the script that calls it ends when something is missing.
macro(tessaryn_need_programs packages)
  set(tessaryn_missing "")
  foreach(tessaryn_program IN ITEMS ${ARGN})
    string(MAKE_C_IDENTIFIER "tool_${tessaryn_program}" tessaryn_variable)
    find_program(${tessaryn_variable} ${tessaryn_program})
    if(NOT ${tessaryn_variable})
      list(APPEND tessaryn_missing ${tessaryn_program})
    endif()
  endforeach()
  if(tessaryn_missing)
    list(JOIN tessaryn_missing ", " tessaryn_missing)
    set(tessaryn_reason "needs ${tessaryn_missing} (apt-get install ${packages})")
    if(DEFINED ENV{TESSARYN_REQUIRE_WINDOWS_TESTS})
      message(FATAL_ERROR "${tessaryn_reason}; TESSARYN_REQUIRE_WINDOWS_TESTS is set")
    endif()
    if(DEFINED ENV{TESSARYN_REQUIRE_PLATFORM_TESTS})
      message(FATAL_ERROR "${tessaryn_reason}; TESSARYN_REQUIRE_PLATFORM_TESTS is set")
    endif()
    message("SKIPPED: ${tessaryn_reason}")
    return()
  endif()
endmacro()
