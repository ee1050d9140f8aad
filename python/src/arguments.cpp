#include "arguments.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace tessaryn::python {

namespace py = pybind11;

namespace {

constexpr std::int64_t kMostBars = std::numeric_limits<std::int32_t>::max();

bool RealKind(char kind) {
  return kind == 'f' || kind == 'i' || kind == 'u';
}

// The element type read directly, if the array's elements are one.
std::optional<Element> DirectElement(const py::array& array) {
  const py::dtype dtype = array.dtype();
  const char order = dtype.byteorder();
  const bool foreign = (order == '>' && std::endian::native == std::endian::little) ||
                       (order == '<' && std::endian::native == std::endian::big);
  if (foreign) {
    return std::nullopt;
  }
  const py::ssize_t size = dtype.itemsize();
  const auto address = reinterpret_cast<std::uintptr_t>(array.data());
  if (address % size != 0) {
    return std::nullopt;
  }
  for (py::ssize_t axis = 0; axis < array.ndim(); ++axis) {
    if (array.strides(axis) % size != 0) {
      return std::nullopt;
    }
  }
  switch (dtype.kind()) {
    case 'f':
      if (size == 4) {
        return Element::kFloat32;
      }
      if (size == 8) {
        return Element::kFloat64;
      }
      return std::nullopt;
    case 'i':
      switch (size) {
        case 1:
          return Element::kInt8;
        case 2:
          return Element::kInt16;
        case 4:
          return Element::kInt32;
        case 8:
          return Element::kInt64;
      }
      return std::nullopt;
    case 'u':
      switch (size) {
        case 1:
          return Element::kUInt8;
        case 2:
          return Element::kUInt16;
        case 4:
          return Element::kUInt32;
        case 8:
          return Element::kUInt64;
      }
      return std::nullopt;
  }
  return std::nullopt;
}

// An int (not a bool) as a double; one beyond any double, so beyond every period the routines
// compute and every float32 price, as an infinity of its sign.
double IntAsDouble(py::handle integer) {
  const double value = PyLong_AsDouble(integer.ptr());
  if (value == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();
    return integer < py::int_(0) ? -HUGE_VAL : HUGE_VAL;
  }
  return value;
}

[[noreturn]] void NotOneNumber(const char* name, const std::string& got) {
  throw py::type_error(std::string(name) + ": expected one real number, got " + got);
}

void Check(const py::array& array, const char* name, int dims) {
  if (!RealKind(array.dtype().kind())) {
    throw py::type_error(std::string(name) + ": expected real numbers, got dtype " +
                         std::string(py::str(array.dtype())));
  }
  if (array.ndim() != dims) {
    const std::string expected =
        dims == 1 ? "one series (a 1-D array); use a pandas.DataFrame for one series per column"
                  : "a 2-D array";
    throw py::value_error(std::string(name) + ": expected " + expected + ", got a " +
                          std::to_string(array.ndim()) + "-D array of shape " + ShapeText(array));
  }
  if (array.ndim() > 0 && array.shape(0) > kMostBars) {
    throw py::value_error(std::string(name) + ": " + std::to_string(array.shape(0)) +
                          " bars, more than one call takes (2^31 - 1 = 2147483647)");
  }
}

}  // namespace

std::string ShapeText(const py::array& array) {
  std::string text = "(";
  for (py::ssize_t axis = 0; axis < array.ndim(); ++axis) {
    text += (axis > 0 ? ", " : "") + std::to_string(array.shape(axis));
  }
  return text + (array.ndim() == 1 ? ",)" : ")");
}

BarColumns ViewArgument(const py::array& array, const char* name, int dims, py::object& keep) {
  Check(array, name, dims);
  py::array viewed = array;
  std::optional<Element> element = DirectElement(array);
  if (!element) {
    // Fortran order keeps each column contiguous; for one dimension it is the same as C's.
    viewed = py::array_t<float, py::array::f_style | py::array::forcecast>::ensure(array);
    if (!viewed) {
      throw py::error_already_set();
    }
    element = Element::kFloat32;
  }
  keep = viewed;
  BarColumns view;
  view.first = static_cast<const char*>(viewed.data());
  view.element = *element;
  view.bars = static_cast<std::int32_t>(viewed.shape(0));
  view.bar_step = viewed.strides(0);
  view.columns = dims == 2 ? viewed.shape(1) : 1;
  view.column_step = dims == 2 ? viewed.strides(1) : 0;
  return view;
}

py::array AsArray(py::handle argument, const char* name) {
  if (!py::isinstance<py::array>(argument)) {
    throw py::type_error(std::string(name) + ": expected a numpy array, got " +
                         std::string(py::str(py::type::handle_of(argument))));
  }
  return py::reinterpret_borrow<py::array>(argument);
}

bool NanForEmpty(py::handle empty) {
  if (PyUnicode_Check(empty.ptr())) {
    if (PyUnicode_CompareWithASCIIString(empty.ptr(), "nan") == 0) {
      return true;
    }
    if (PyUnicode_CompareWithASCIIString(empty.ptr(), "marker") == 0) {
      return false;
    }
  }
  throw py::value_error("empty: expected 'nan' or 'marker', got " + std::string(py::repr(empty)));
}

std::optional<double> FixedPeriod(py::handle period) {
  PyObject* object = period.ptr();
  if (PyFloat_Check(object)) {
    return PyFloat_AS_DOUBLE(object);
  }
  if (PyLong_Check(object) && !PyBool_Check(object)) {
    return IntAsDouble(period);
  }
  if (py::isinstance<py::array>(period) && py::reinterpret_borrow<py::array>(period).ndim() == 0) {
    const char kind = py::reinterpret_borrow<py::array>(period).dtype().kind();
    if (kind == 'f' || kind == 'i' || kind == 'u') {
      const double value = PyFloat_AsDouble(object);
      if (value == -1.0 && PyErr_Occurred()) {
        throw py::error_already_set();
      }
      return value;
    }
  }
  return std::nullopt;
}

double RealNumber(py::handle value, const char* name) {
  PyObject* object = value.ptr();
  if (PyFloat_Check(object)) {
    return PyFloat_AS_DOUBLE(object);
  }
  if (PyLong_Check(object) && !PyBool_Check(object)) {
    return IntAsDouble(value);
  }
  const std::string type = py::str(py::type::handle_of(value).attr("__name__"));
  const std::string a_type = (type.find_first_of("aeiou") == 0 ? "an " : "a ") + type;
  if (PyBool_Check(object) || PyComplex_Check(object) || PyUnicode_Check(object) ||
      PyBytes_Check(object)) {
    NotOneNumber(name, std::string(py::repr(value)));
  }
  // numpy's scalars and arrays, and pandas' objects: no axes and a real element type.
  if (py::hasattr(value, "dtype")) {
    if (py::hasattr(value, "ndim") && value.attr("ndim").cast<py::ssize_t>() != 0) {
      NotOneNumber(name, a_type + " of shape " + std::string(py::str(value.attr("shape"))));
    }
    const py::object dtype = value.attr("dtype");
    const std::string kind = py::str(py::getattr(dtype, "kind", py::str("?")));
    if (kind.size() != 1 || !RealKind(kind[0])) {
      NotOneNumber(name, std::string(py::repr(value)) + " of dtype " + std::string(py::str(dtype)));
    }
  } else if (PySequence_Check(object)) {
    NotOneNumber(name, a_type);
  }
  const double number = PyFloat_AsDouble(object);
  if (number == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();
    NotOneNumber(name, std::string(py::repr(value)));
  }
  return number;
}

}  // namespace tessaryn::python
