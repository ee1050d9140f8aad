// first_missing(values): where a 1-D float array first holds NaN, for the package's default
// gaps="skip", which takes a NaN price for a bar without a price. Called on every float
// array a batch function is given, so it is a plain CPython function that reads the buffer
// in place: numpy's isnan().any() would allocate a mask and cost more than a short series'
// whole computation.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

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
  std::ptrdiff_t from = 0;
  if (!swapped && step == sizeof(Number)) {
    // Contiguous: blocks without an early exit, which the compiler vectorizes (a frame
    // without gaps is read at memory speed); the bar itself is found in the block.
    constexpr std::ptrdiff_t kBlock = 512;
    for (; from + kBlock <= count; from += kBlock) {
      bool any = false;
      for (std::ptrdiff_t i = 0; i < kBlock; ++i) {
        Number value;
        std::memcpy(&value, first + (from + i) * step, sizeof value);
        any |= value != value;
      }
      if (any) {
        break;
      }
    }
  }
  for (std::ptrdiff_t bar = from; bar < count; ++bar) {
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

// Marks in `flags` the columns of one row (contiguous) that hold NaN.
template <typename Number>
void FlagNaN(const char* row, std::ptrdiff_t columns, unsigned char* flags) {
  for (std::ptrdiff_t column = 0; column < columns; ++column) {
    Number value;
    std::memcpy(&value, row + column * static_cast<std::ptrdiff_t>(sizeof value), sizeof value);
    flags[column] |= static_cast<unsigned char>(value != value);
  }
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
      found = array.itemsize() == 4 ? FirstNaN<float, std::uint32_t>(first, step, count, swapped)
                                    : FirstNaN<double, std::uint64_t>(first, step, count, swapped);
    }
    return PyLong_FromSsize_t(found);
  });
}

// Runs part(k) for k in 0 .. parts - 1, on as many threads (the calling one among them);
// where a thread cannot be started, the calling one does that part.
template <typename Part>
void OnThreads(std::ptrdiff_t parts, Part&& part) {
  std::vector<std::thread> pool;
  std::vector<std::ptrdiff_t> left;
  for (std::ptrdiff_t k = 1; k < parts; ++k) {
    try {
      pool.emplace_back(part, k);
    } catch (const std::system_error&) {
      left.push_back(k);
    }
  }
  part(0);
  for (const std::ptrdiff_t k : left) {
    part(k);
  }
  for (std::thread& thread : pool) {
    thread.join();
  }
}

// columns_missing(values, threads) -> list of int: the columns of a 2-D float32 or float64
// array (bars down the first axis) holding a NaN; None for any other array, which the
// caller checks with numpy. One pass over the frame on up to `threads` threads, without the
// GIL: a frame of 10^5 short columns costs no Python call a column, and the check does not
// hold back the computation that follows it on every core.
PyObject* ColumnsMissing(PyObject*, PyObject* const* arguments, Py_ssize_t count) {
  return Guarded([&]() -> PyObject* {
    if (count != 2) {
      throw py::type_error("columns_missing() takes 2 arguments: values, threads");
    }
    const long threads_wanted = LongArgument(arguments[1]);
    PyObject* argument = arguments[0];
    auto& api = py::detail::npy_api::get();
    if (!api.PyArray_Check_(argument)) {
      Py_RETURN_NONE;
    }
    const auto array = py::reinterpret_borrow<py::array>(argument);
    const char order = array.dtype().byteorder();
    const bool little = std::endian::native == std::endian::little;
    const bool swapped = (order == '<' && !little) || (order == '>' && little);
    if (array.ndim() != 2 || array.dtype().kind() != 'f' ||
        (array.itemsize() != 4 && array.itemsize() != 8)) {
      Py_RETURN_NONE;
    }
    const char* first = static_cast<const char*>(array.data());
    const std::ptrdiff_t bars = array.shape(0), columns = array.shape(1);
    const std::ptrdiff_t bar_step = array.strides(0), column_step = array.strides(1);
    const bool wide = array.itemsize() == 8;
    // Below about 2^18 values a thread costs more than it saves.
    const std::ptrdiff_t parts = std::clamp<std::ptrdiff_t>(
        std::min<std::ptrdiff_t>(threads_wanted, bars * columns >> 18), 1, 64);
    std::vector<unsigned char> flags(static_cast<std::size_t>(columns), 0);
    {
      py::gil_scoped_release unlocked;
      if (!swapped && column_step == array.itemsize() && bar_step > column_step) {
        // Rows in memory (a frame made from a C-ordered array): read row after row, so
        // that each cache line is read once, not once a column; each part its rows.
        std::vector<std::vector<unsigned char>> part_flags(
            static_cast<std::size_t>(parts), std::vector<unsigned char>(flags.size(), 0));
        OnThreads(parts, [&](std::ptrdiff_t k) {
          unsigned char* mine = part_flags[static_cast<std::size_t>(k)].data();
          for (std::ptrdiff_t bar = bars * k / parts; bar < bars * (k + 1) / parts; ++bar) {
            const char* row = first + bar * bar_step;
            if (wide) {
              FlagNaN<double>(row, columns, mine);
            } else {
              FlagNaN<float>(row, columns, mine);
            }
          }
        });
        for (const auto& mine : part_flags) {
          for (std::size_t column = 0; column < flags.size(); ++column) {
            flags[column] |= mine[column];
          }
        }
      } else {
        OnThreads(parts, [&](std::ptrdiff_t k) {
          for (std::ptrdiff_t column = columns * k / parts; column < columns * (k + 1) / parts;
               ++column) {
            const char* start = first + column * column_step;
            const std::ptrdiff_t bar =
                wide ? FirstNaN<double, std::uint64_t>(start, bar_step, bars, swapped)
                     : FirstNaN<float, std::uint32_t>(start, bar_step, bars, swapped);
            flags[static_cast<std::size_t>(column)] = bar >= 0;
          }
        });
      }
    }
    py::list result;
    for (std::ptrdiff_t column = 0; column < columns; ++column) {
      if (flags[static_cast<std::size_t>(column)]) {
        result.append(column);
      }
    }
    return result.release().ptr();
  });
}

PyMethodDef columns_missing_definition = {
    "columns_missing", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&ColumnsMissing)),
    METH_FASTCALL,
    "columns_missing(values, threads): the columns of a 2-D float array holding NaN, or None "
    "if values is not a 2-D float32 or float64 numpy array."};

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
  function = PyCFunction_NewEx(&columns_missing_definition, nullptr, module.attr("__name__").ptr());
  if (function == nullptr) {
    throw py::error_already_set();
  }
  module.add_object("columns_missing", py::reinterpret_steal<py::object>(function));
}

}  // namespace tessaryn::python
