// The compiled functions that bypass pybind11's dispatch (for speed) still turn C++
// exceptions into the Python errors they stand for.
#pragma once

#include <Python.h>
#include <pybind11/pybind11.h>

#include <exception>
#include <new>

namespace tessaryn::python {

// Runs `body`, turning a C++ exception into the Python error it stands for (nullptr then).
template <typename Body>
PyObject* Guarded(Body&& body) noexcept {
  namespace py = pybind11;
  try {
    return body();
  } catch (py::error_already_set& error) {
    error.restore();
  } catch (const py::builtin_exception& error) {
    error.set_error();
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& error) {
    PyErr_SetString(PyExc_RuntimeError, error.what());
  }
  return nullptr;
}

// A plain function's integer argument; the Python error (not an int, too large) thrown on.
inline long LongArgument(PyObject* argument) {
  const long value = PyLong_AsLong(argument);
  if (value == -1 && PyErr_Occurred()) {
    throw pybind11::error_already_set();
  }
  return value;
}

}  // namespace tessaryn::python
