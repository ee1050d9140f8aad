# Runs one of the package's checks with Debian's interpreter, or says why it is skipped.
# -DCHECK=pytest|dask|install -DPYTHON=<interpreter> -DSOURCE_DIR=<repository>
# -DPACKAGE_DIR=<build>/python -DLIBRARY=<libtessaryn.so> -DLIBRARY_BUILD=<library_build.json>
# [-DSKIP_REASON=<why the package was not built>]
# pytest: the suite in python/tests against the build tree's package, but test_dask.py.
# dask: test_dask.py alone.
# install: the README's pip install into a new virtual environment (install_check.py).
# Missing packages skip the check unless TESSARYN_REQUIRE_PYTHON_TESTS is set (CI sets it).
function(skip reason)
  if(DEFINED ENV{TESSARYN_REQUIRE_PYTHON_TESTS})
    message(FATAL_ERROR "python ${CHECK}: ${reason}")
  endif()
  message("SKIPPED: ${reason}")
endfunction()

if(SKIP_REASON)
  skip("${SKIP_REASON}")
  return()
endif()

if(CHECK STREQUAL "pytest" OR CHECK STREQUAL "dask")
  set(modules "numpy, pytest")
  set(packages "python3-numpy python3-pytest")
else()
  set(modules "numpy, ensurepip, setuptools, wheel, pybind11")
  set(packages "python3-numpy python3-venv python3-pip python3-setuptools python3-wheel python3-pybind11")
endif()
execute_process(COMMAND ${PYTHON} -c "import ${modules}"
  RESULT_VARIABLE missing OUTPUT_QUIET ERROR_QUIET)
if(missing)
  skip("the Python ${CHECK} check needs ${packages}")
  return()
endif()

set(ENV{PYTHONDONTWRITEBYTECODE} 1)
set(dask_tests ${SOURCE_DIR}/python/tests/test_dask.py)
if(CHECK STREQUAL "pytest" OR CHECK STREQUAL "dask")
  set(ENV{PYTHONPATH} ${PACKAGE_DIR})
  set(ENV{TESSARYN_LIBRARY} ${LIBRARY})
  set(ENV{TESSARYN_LIBRARY_BUILD} ${LIBRARY_BUILD})
  set(command ${PYTHON} -m pytest -q -p no:cacheprovider)
  if(CHECK STREQUAL "pytest")
    list(APPEND command --ignore=${dask_tests} ${SOURCE_DIR}/python/tests)
  else()
    list(APPEND command ${dask_tests})
  endif()
else()
  set(command ${PYTHON} ${SOURCE_DIR}/python/tests/install_check.py ${SOURCE_DIR}
              ${PACKAGE_DIR}/install_check ${LIBRARY})
endif()
execute_process(COMMAND ${command} WORKING_DIRECTORY ${PACKAGE_DIR} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "python ${CHECK}: failed")
endif()
