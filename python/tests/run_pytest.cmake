# Runs the package's pytest suite with the build tree's package first on PYTHONPATH.
# -DPYTHON=<interpreter> -DPACKAGE_DIR=<build>/python -DTESTS_DIR=<python/tests>
# -DLIBRARY=<libtessaryn.so> -DLIBRARY_BUILD=<library_build.json> [-DSKIP_REASON=<why not built>]
function(skip reason)
  if(DEFINED ENV{TESSARYN_REQUIRE_PYTHON_TESTS})
    message(FATAL_ERROR "python_package: ${reason}")
  endif()
  message("SKIPPED: ${reason}")
endfunction()

if(SKIP_REASON)
  skip("${SKIP_REASON}")
  return()
endif()

execute_process(COMMAND ${PYTHON} -c "import numpy, pytest"
  RESULT_VARIABLE missing OUTPUT_QUIET ERROR_QUIET)
if(missing)
  skip("the Python tests need numpy and pytest (apt-get install python3-numpy python3-pytest)")
  return()
endif()

set(ENV{PYTHONPATH} ${PACKAGE_DIR})
set(ENV{PYTHONDONTWRITEBYTECODE} 1)
set(ENV{TESSARYN_LIBRARY} ${LIBRARY})
set(ENV{TESSARYN_LIBRARY_BUILD} ${LIBRARY_BUILD})
execute_process(
  COMMAND ${PYTHON} -m pytest -q -p no:cacheprovider ${TESTS_DIR}
  WORKING_DIRECTORY ${PACKAGE_DIR}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "python_package: pytest failed")
endif()
