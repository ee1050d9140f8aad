// first_missing(values): where a 1-D float array first holds NaN, for the package's default
// gaps="skip", which takes a NaN price for a bar without a price. Called on every float
// array a batch function is given, so it is a plain CPython function that reads the buffer
// in place: numpy's isnan().any() would allocate a mask and cost more than a short series'
// whole computation.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <bit>
#include <cstring>
#include <cstddef>
#include <cstdint>

#include "bindings.h"
#include "guarded.h"

namespace tessaryn::python {

namespace py = pybind11;

namespace {

// Bits is the unsigned integer of Number's size; `swapped` for an array in the other byte
// order (numpy's ">f4" on this machine), read as it lies and swapped here, not copied.
template <typename Number, typename Bits>
std::ptrdiff_t FirstNaN(const char* first, std::ptrdiff_t step, std::ptrdiff_t count,
                        bool swapped) {
  for (std::ptrdiff_t bar = 0; bar < count; ++bar) {
    Bits bits;
    std::memcpy(&bits, first + bar * step, sizeof bits);
    if (swapped) {
      if constexpr (sizeof(Bits) == 4) {
        bits = __builtin_bswap32(bits);
      } else {
        bits = __builtin_bswap64(bits);
      }
    }
    const Number value = std::bit_cast<Number>(bits);
    if (value != value) {
      return bar;
    }
  }
  return -1;
}

// first_missing(values) -> int: the first bar of `values` holding NaN, -1 where none does
// (also for arrays of integers, which cannot hold one), or -2 for what is not a 1-D numpy
// array of float32 or float64 (in either byte order, any stride): the caller asks numpy then.
PyObject* FirstMissing(PyObject*, PyObject* argument) {
  return Guarded([&]() -> PyObject* {
    auto& api = py::detail::npy_api::get();
    if (!api.PyArray_Check_(argument)) {
      return PyLong_FromLong(-2);
    }
    const auto array = py::reinterpret_borrow<py::array>(argument);
    if (array.ndim() != 1) {
      return PyLong_FromLong(-2);
    }
    const char kind = array.dtype().kind();
    if (kind == 'i' || kind == 'u') {
      return PyLong_FromLong(-1);
    }
    const char order = array.dtype().byteorder();
    const bool little = std::endian::native == std::endian::little;
    const bool swapped = (order == '<' && !little) || (order == '>' && little);
    if ((array.itemsize() != 4 && array.itemsize() != 8) || kind != 'f') {
      return PyLong_FromLong(-2);
    }
    const char* first = static_cast<const char*>(array.data());
    const std::ptrdiff_t step = array.strides(0);
    const std::ptrdiff_t count = array.shape(0);
    std::ptrdiff_t found;
    {
      py::gil_scoped_release unlocked;
      found = array.itemsize() == 4
                  ? FirstNaN<float, std::uint32_t>(first, step, count, swapped)
                  : FirstNaN<double, std::uint64_t>(first, step, count, swapped);
    }
    return PyLong_FromSsize_t(found);
  });
}

PyMethodDef first_missing_definition = {
    "first_missing", &FirstMissing, METH_O,
    "first_missing(values): the first bar of a 1-D float array holding NaN, -1 if none does, "
    "-2 if values is not a 1-D float32 or float64 numpy array."};

}  // namespace

void BindGaps(py::module_& module) {
  PyObject* function =
      PyCFunction_NewEx(&first_missing_definition, nullptr, module.attr("__name__").ptr());
  if (function == nullptr) {
    throw py::error_already_set();
  }
  module.add_object("first_missing", py::reinterpret_steal<py::object>(function));
}

}  // namespace tessaryn::python
