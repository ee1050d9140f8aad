// tessaryn._core.Stream: the library's C stream (tessaryn_stream.h) as a Python object, and
// BarValues, the named tuple a bar's values come in. push and revise run once a bar, often in
// a Python loop over a whole history, so the type is written against CPython's own API: a
// call costs little more than the C call, with no pybind11 dispatch in between.
#include <Python.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <tessaryn_stream.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <string>

#include "arguments.h"
#include "bindings.h"
#include "guarded.h"
#include "routines.h"
#include "traced_buffer.h"

namespace tessaryn::python {

namespace py = pybind11;

namespace {

struct StreamObject {
  PyObject ob_base;  // PyObject_HEAD
  TessarynStream* stream;
  std::int32_t longest_period;
  bool nan_for_empty;
  // Set while push_many computes with the GIL released: until it returns, every other call
  // on the stream is refused instead of racing with it.
  bool busy;
};

StreamObject& StreamOf(PyObject* self) {
  return *reinterpret_cast<StreamObject*>(self);
}

// The BarValues type (a collections.namedtuple), made once when the module loads.
PyTypeObject* bar_values = nullptr;

// The arguments of a method taking exactly N, by position or by name, checked as Python's own
// functions check theirs; false with TypeError set otherwise.
template <std::size_t N>
bool TakeArguments(const char* method, const std::array<const char*, N>& names,
                   PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                   std::array<PyObject*, N>& given) {
  const auto most = static_cast<Py_ssize_t>(N);
  if (nargs > most) {
    PyErr_Format(PyExc_TypeError, "%s() takes %zd positional arguments but %zd were given", method,
                 most, nargs);
    return false;
  }
  given.fill(nullptr);
  std::copy(args, args + nargs, given.begin());
  const Py_ssize_t keywords = kwnames != nullptr ? PyTuple_GET_SIZE(kwnames) : 0;
  for (Py_ssize_t k = 0; k < keywords; ++k) {
    PyObject* key = PyTuple_GET_ITEM(kwnames, k);
    const auto slot = std::find_if(names.begin(), names.end(), [key](const char* name) {
      return PyUnicode_CompareWithASCIIString(key, name) == 0;
    });
    if (slot == names.end()) {
      PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", method, key);
      return false;
    }
    PyObject*& into = given[static_cast<std::size_t>(slot - names.begin())];
    if (into != nullptr) {
      PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", method, *slot);
      return false;
    }
    into = args[nargs + k];
  }
  for (std::size_t k = 0; k < N; ++k) {
    if (given[k] == nullptr) {
      PyErr_Format(PyExc_TypeError, "%s() missing required argument '%s'", method, names[k]);
      return false;
    }
  }
  return true;
}

// Sets RuntimeError and says so when push_many is running on another thread.
bool InUse(const StreamObject& s) {
  if (s.busy) {
    PyErr_SetString(PyExc_RuntimeError,
                    "Stream: in use by push_many on another thread; a stream takes one call at "
                    "a time");
  }
  return s.busy;
}

// A refusal of the C stream as the exception Python callers expect, carrying its message.
// `periods` names the argument the periods came in; `call` the method.
PyObject* RaiseRefusal(std::int32_t code, const StreamObject& s, const char* periods,
                       const char* call) {
  const char* message = TessarynStreamMessage(code);
  switch (code) {
    case TESSARYN_STREAM_PERIOD_ABOVE_BOUND:
      PyErr_Format(PyExc_ValueError, "%s: %s (longest_period=%d)", periods, message,
                   static_cast<int>(s.longest_period));
      break;
    case TESSARYN_STREAM_EMPTY:
      // Like assigning to the last item of an empty list.
      PyErr_Format(PyExc_IndexError, "%s: %s; push one first", call, message);
      break;
    case TESSARYN_STREAM_TOO_MANY_BARS:
      PyErr_Format(PyExc_ValueError, "%s: %s (it has %lld); a longest_period keeps fewer", call,
                   message, static_cast<long long>(TessarynStreamSize(s.stream)));
      break;
    case TESSARYN_STREAM_OUT_OF_MEMORY:
      PyErr_SetString(PyExc_MemoryError, message);
      break;
    default:  // arguments this module never passes
      PyErr_Format(PyExc_SystemError, "%s: %s (stream code %d)", call, message,
                   static_cast<int>(code));
  }
  return nullptr;
}

// BarValues(trend, cycle, model) of three new references, which it takes over.
PyObject* NewBarValues(PyObject* trend, PyObject* cycle, PyObject* model) {
  PyObject* items = PyTuple_New(3);
  if (items == nullptr || trend == nullptr || cycle == nullptr || model == nullptr) {
    Py_XDECREF(trend);
    Py_XDECREF(cycle);
    Py_XDECREF(model);
    Py_XDECREF(items);
    return nullptr;
  }
  PyTuple_SET_ITEM(items, 0, trend);
  PyTuple_SET_ITEM(items, 1, cycle);
  PyTuple_SET_ITEM(items, 2, model);
  // tuple.__new__(BarValues, items), what the named tuple's own __new__ ends in, without the
  // Python frame of that __new__.
  PyObject* arguments = PyTuple_Pack(1, items);
  Py_DECREF(items);
  if (arguments == nullptr) {
    return nullptr;
  }
  PyObject* values = PyTuple_Type.tp_new(bar_values, arguments, nullptr);
  Py_DECREF(arguments);
  return values;
}

// One bar's values as Python floats, which hold every float32 exactly.
PyObject* BarValuesOf(float out[3], bool nan_for_empty) {
  if (nan_for_empty) {
    MarkEmptyAsNaN(out, 3);
  }
  return NewBarValues(PyFloat_FromDouble(out[0]), PyFloat_FromDouble(out[1]),
                      PyFloat_FromDouble(out[2]));
}

using BarCall = std::int32_t (*)(TessarynStream*, float, float, float*);

constexpr std::array<const char*, 2> kBarArguments = {"price", "period"};

// push or revise: one bar in, its values out. Every argument is read before the stream is.
PyObject* OneBar(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                 const char* method, BarCall call) {
  std::array<PyObject*, 2> given;
  if (!TakeArguments(method, kBarArguments, args, nargs, kwnames, given)) {
    return nullptr;
  }
  return Guarded([&]() -> PyObject* {
    const double price = RealNumber(given[0], "price");
    const double period = RealNumber(given[1], "period");
    StreamObject& s = StreamOf(self);
    if (InUse(s)) {
      return nullptr;
    }
    float out[3];
    const std::int32_t code =
        call(s.stream, static_cast<float>(price), static_cast<float>(period), out);
    if (code != TESSARYN_STREAM_OK) {
      return RaiseRefusal(code, s, "period", method);
    }
    return BarValuesOf(out, s.nan_for_empty);
  });
}

PyObject* Push(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return OneBar(self, args, nargs, kwnames, "push", &TessarynStreamPush);
}

PyObject* Revise(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return OneBar(self, args, nargs, kwnames, "revise", &TessarynStreamRevise);
}

constexpr std::array<const char*, 2> kManyArguments = {"prices", "periods"};

// _push_arrays(prices, periods): prices a 1-D numpy array, periods one number or a 1-D array
// of as many bars. The arrays are checked and the outputs made before the stream is touched;
// the C stream then runs with the GIL released.
PyObject* PushArrays(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  std::array<PyObject*, 2> given;
  if (!TakeArguments("push_many", kManyArguments, args, nargs, kwnames, given)) {
    return nullptr;
  }
  return Guarded([&]() -> PyObject* {
    py::object kept_prices;
    const BarColumns prices = ViewArgument(AsArray(given[0], "prices"), "prices", 1, kept_prices);
    const std::optional<double> fixed = FixedPeriod(given[1]);
    py::object kept_periods;
    BarColumns periods;
    if (!fixed) {
      periods = ViewArgument(AsArray(given[1], "periods"), "periods", 1, kept_periods);
      if (periods.bars != prices.bars) {
        throw py::value_error("periods: prices has " + std::to_string(prices.bars) +
                              " bars but periods has " + std::to_string(periods.bars) + " bars");
      }
    }
    const std::int32_t bars = prices.bars;
    const auto size = static_cast<std::size_t>(bars);
    FloatBuffer price_copy(prices.InPlace() ? 0 : size);
    FloatBuffer period_copy(fixed || !periods.InPlace() ? size : 0);
    py::array_t<float> trend(bars), cycle(bars), model(bars);
    float* out[3] = {trend.mutable_data(), cycle.mutable_data(), model.mutable_data()};

    StreamObject& s = StreamOf(self);
    if (InUse(s)) {
      return nullptr;
    }
    std::int32_t code;
    s.busy = true;
    {
      py::gil_scoped_release unlocked;
      const float* bar_prices = prices.Read(0, price_copy.data());
      const float* bar_periods;
      if (fixed) {
        std::fill(period_copy.begin(), period_copy.end(), static_cast<float>(*fixed));
        bar_periods = period_copy.data();
      } else {
        bar_periods = periods.Read(0, period_copy.data());
      }
      code =
          TessarynStreamPushMany(s.stream, bar_prices, bar_periods, bars, out[0], out[1], out[2]);
      if (code == TESSARYN_STREAM_OK && s.nan_for_empty) {
        for (float* values : out) {
          MarkEmptyAsNaN(values, size);
        }
      }
    }
    s.busy = false;
    if (code != TESSARYN_STREAM_OK) {
      return RaiseRefusal(code, s, "periods", "push_many");
    }
    return NewBarValues(trend.release().ptr(), cycle.release().ptr(), model.release().ptr());
  });
}

PyObject* Reset(PyObject* self, PyObject*) {
  StreamObject& s = StreamOf(self);
  if (InUse(s)) {
    return nullptr;
  }
  TessarynStreamReset(s.stream);
  Py_RETURN_NONE;
}

Py_ssize_t Length(PyObject* self) {
  const StreamObject& s = StreamOf(self);
  if (InUse(s)) {
    return -1;
  }
  const std::int64_t size = TessarynStreamSize(s.stream);
  if (size > PY_SSIZE_T_MAX) {
    PyErr_Format(PyExc_OverflowError, "the stream's %lld bars do not fit a Py_ssize_t",
                 static_cast<long long>(size));
    return -1;
  }
  return static_cast<Py_ssize_t>(size);
}

PyObject* LongestPeriodOf(PyObject* self, void*) {
  return PyLong_FromLong(StreamOf(self).longest_period);
}

PyObject* EmptyOf(PyObject* self, void*) {
  return PyUnicode_FromString(StreamOf(self).nan_for_empty ? "nan" : "marker");
}

PyObject* Represent(PyObject* self) {
  return Guarded([&]() -> PyObject* {
    const StreamObject& s = StreamOf(self);
    const py::handle type = py::type::handle_of(self);
    std::string text = "<" + std::string(py::str(type.attr("__module__"))) + "." +
                       std::string(py::str(type.attr("__qualname__"))) +
                       " longest_period=" + std::to_string(s.longest_period) +
                       " empty=" + (s.nan_for_empty ? "'nan'" : "'marker'");
    text += s.busy ? " (push_many running)>"
                   : ", " + std::to_string(TessarynStreamSize(s.stream)) + " bars>";
    return py::str(text).release().ptr();
  });
}

// longest_period: a whole number (an int or a numpy integer, not a bool or a float) that
// fits the C stream's int32; a negative one is left to the C stream to refuse.
std::int32_t LongestPeriod(PyObject* bound) {
  if (bound == nullptr) {
    return 0;
  }
  if (PyBool_Check(bound) || !PyIndex_Check(bound)) {
    throw py::type_error("longest_period: expected a whole number of bars, got " +
                         std::string(py::repr(bound)));
  }
  const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(bound));
  if (!index) {
    throw py::error_already_set();
  }
  int overflow = 0;
  const long long value = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
  if (value == -1 && PyErr_Occurred()) {
    throw py::error_already_set();
  }
  constexpr std::int32_t most = std::numeric_limits<std::int32_t>::max();
  if (overflow > 0 || value > most) {
    throw py::value_error("longest_period: " + std::string(py::str(index)) +
                          " is above the longest period a bar can have, 2147483647");
  }
  return overflow < 0 || value < 0 ? -1 : static_cast<std::int32_t>(value);
}

PyObject* NewStream(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  static const char* names[] = {"longest_period", "empty", nullptr};
  PyObject* bound = nullptr;
  PyObject* empty = nullptr;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "|O$O:Stream", const_cast<char**>(names), &bound,
                                   &empty)) {
    return nullptr;
  }
  return Guarded([&]() -> PyObject* {
    const std::int32_t longest_period = LongestPeriod(bound);
    const bool nan_for_empty = empty == nullptr || NanForEmpty(empty);
    TessarynStream* stream = TessarynStreamCreate(longest_period);
    if (stream == nullptr) {
      if (longest_period < 0) {
        const std::string given = py::str(py::reinterpret_borrow<py::object>(bound));
        throw py::value_error(std::string(TessarynStreamMessage(TESSARYN_STREAM_NEGATIVE_BOUND)) +
                              " (" + given + ")");
      }
      throw std::bad_alloc();
    }
    PyObject* self = type->tp_alloc(type, 0);
    if (self == nullptr) {
      TessarynStreamDestroy(stream);
      return nullptr;
    }
    StreamObject& s = StreamOf(self);
    s.stream = stream;
    s.longest_period = longest_period;
    s.nan_for_empty = nan_for_empty;
    s.busy = false;
    return self;
  });
}

void Destroy(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  TessarynStreamDestroy(StreamOf(self).stream);
  type->tp_free(self);
  Py_DECREF(type);  // instances of heap types hold a reference to their type
}

template <typename Function>
PyCFunction AsMethod(Function function) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

PyMethodDef stream_methods[] = {
    {"push", AsMethod(&Push), METH_FASTCALL | METH_KEYWORDS,
     "push($self, /, price, period)\n--\n\n"
     "Appends a bar (the newest; bars come oldest first) and returns its values,\n"
     "BarValues(trend, cycle, model): the bits tessaryn.itrend, cyclical_component and\n"
     "tessaryn give at this bar on the series so far, as Python floats (each holds its\n"
     "float32 exactly; numpy.float32(value) is the library's value).\n\n"
     "price and period are single numbers, rounded to float32 as the C library takes\n"
     "them; period then to a whole number P, halves to even. A bar is computed when\n"
     "1 <= P <= its index (the first bar's index is 0); others hold NaN, or\n"
     "tessaryn.EMPTY with empty=\"marker\". NaN and infinite prices and periods are data.\n\n"
     "Raises ValueError, changing nothing, when the stream has a longest_period, the bar\n"
     "would be computed and P is above it; TypeError for a price or period that is not\n"
     "one real number."},
    {"revise", AsMethod(&Revise), METH_FASTCALL | METH_KEYWORDS,
     "revise($self, /, price, period)\n--\n\n"
     "Replaces the newest bar while it is still forming (its price and its period may\n"
     "both change, any number of times) and returns its new values, as push would have.\n"
     "The stream is then as if the bar had been pushed with these.\n\n"
     "Raises IndexError on a stream without bars, as assigning to the last item of an\n"
     "empty list does; ValueError and TypeError as push. A refused revision leaves the\n"
     "newest bar as it was."},
    {"reset", AsMethod(&Reset), METH_NOARGS,
     "reset($self, /)\n--\n\n"
     "Forgets every bar; longest_period and empty stay."},
    {"_push_arrays", AsMethod(&PushArrays), METH_FASTCALL | METH_KEYWORDS,
     "_push_arrays($self, /, prices, periods)\n--\n\n"
     "push_many on a 1-D numpy array of prices and one period or a 1-D array of them;\n"
     "returns BarValues of three float32 arrays. Use push_many."},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef stream_attributes[] = {
    {"longest_period", &LongestPeriodOf, nullptr,
     "The longest period the stream keeps prices for; 0: every price is kept.", nullptr},
    {"empty", &EmptyOf, nullptr, "\"nan\" or \"marker\": what bars that are not computed hold.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot stream_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(&NewStream)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Destroy)},
    {Py_tp_methods, stream_methods},
    {Py_tp_getset, stream_attributes},
    {Py_tp_repr, reinterpret_cast<void*>(&Represent)},
    {Py_sq_length, reinterpret_cast<void*>(&Length)},
    {Py_tp_doc, const_cast<char*>("Stream(longest_period=0, *, empty='nan')\n--\n\n"
                                  "The library's C stream; use tessaryn.Stream.")},
    {0, nullptr},
};

PyType_Spec stream_spec = {
    "tessaryn._core.Stream",
    sizeof(StreamObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE,
    stream_slots,
};

}  // namespace

void BindStream(py::module_& module) {
  const py::object named_tuple = py::module_::import("collections").attr("namedtuple");
  py::object values = named_tuple("BarValues", py::make_tuple("trend", "cycle", "model"),
                                  py::arg("module") = "tessaryn");
  values.attr("__doc__") =
      "One bar's values, or one array of values per indicator (push_many): trend\n"
      "(tessaryn.itrend), cycle (tessaryn.cyclical_component) and model (tessaryn.tessaryn,\n"
      "trend plus cycle rounded once).";
  values.attr("trend").attr("__doc__") = "The trend line (tessaryn.itrend).";
  values.attr("cycle").attr("__doc__") = "The cycle (tessaryn.cyclical_component).";
  values.attr("model").attr("__doc__") = "Trend plus cycle (tessaryn.tessaryn).";
  module.add_object("BarValues", values);
  // Held for as long as the process runs: streams build their results from it.
  bar_values = reinterpret_cast<PyTypeObject*>(values.inc_ref().ptr());

  PyObject* type = PyType_FromSpec(&stream_spec);
  if (type == nullptr) {
    throw py::error_already_set();
  }
  module.add_object("Stream", py::reinterpret_steal<py::object>(type));
}

}  // namespace tessaryn::python
