// The batch routines over numpy arrays. Each call checks every argument before it computes
// anything, allocates the outputs, then runs the C routines with the GIL released.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "arguments.h"
#include "bindings.h"
#include "computation.h"
#include "guarded.h"
#include "routines.h"

namespace tessaryn::python {

namespace py = pybind11;

namespace {

std::string BarsText(const BarColumns& view, int dims) {
  std::string text = std::to_string(view.bars) + " bars";
  return dims == 1 ? text : text + " x " + std::to_string(view.columns) + " columns";
}

py::array NewFloat32Array(int dims, std::int32_t bars, py::ssize_t columns) {
  auto& api = py::detail::npy_api::get();
  Py_intptr_t shape[2] = {bars, columns};
  PyObject* descr = api.PyArray_DescrFromType_(py::detail::npy_api::NPY_FLOAT_);
  PyObject* array =
      api.PyArray_NewFromDescr_(api.PyArray_Type_, descr, dims, shape, nullptr, nullptr,
                                py::detail::npy_api::NPY_ARRAY_F_CONTIGUOUS_, nullptr);
  if (array == nullptr) {
    throw py::error_already_set();
  }
  return py::reinterpret_steal<py::array>(array);
}

// Runs `routines` over `prices` (an array of `dims` dimensions) with `period` (one number
// for every bar, or an array: for one series one period per bar; for columns one per row,
// or one per bar of each column). Returns one new float32 array per routine, shaped as
// prices, each column contiguous.
std::vector<py::array> Run(std::span<const int> routines, py::handle prices_argument,
                           py::handle period_argument, py::handle empty, int threads, int dims) {
  Computation c;
  for (int routine : routines) {
    if (routine < 0 || routine >= kRoutineCount || c.routine_count == kRoutineCount) {
      throw py::value_error("routines: expected up to three of 0, 1, 2");
    }
    c.routines[c.routine_count++] = routine;
  }

  py::object kept_prices;
  c.prices = ViewArgument(AsArray(prices_argument, "prices"), "prices", dims, kept_prices);

  py::object kept_periods;
  BarColumns periods;
  if (const std::optional<double> fixed = FixedPeriod(period_argument)) {
    c.fixed_period = static_cast<float>(*fixed);
  } else {
    const py::array array = AsArray(period_argument, "period");
    const int period_dims = dims == 2 && array.ndim() == 1 ? 1 : dims;
    periods = ViewArgument(array, "period", period_dims, kept_periods);
    const bool per_row = dims == 2 && period_dims == 1;
    if (periods.bars != c.prices.bars || (!per_row && periods.columns != c.prices.columns)) {
      throw py::value_error("period: prices has " + BarsText(c.prices, dims) + " but period has " +
                            BarsText(periods, period_dims));
    }
    if (per_row) {
      periods.columns = 1;
    }
    c.periods = &periods;
  }
  c.nan_for_empty = NanForEmpty(empty);

  std::vector<py::array> outputs;
  outputs.reserve(static_cast<std::size_t>(c.routine_count));
  for (int r = 0; r < c.routine_count; ++r) {
    outputs.push_back(NewFloat32Array(dims, c.prices.bars, c.prices.columns));
    c.outputs[r] = static_cast<float*>(outputs.back().mutable_data());
  }

  {
    py::gil_scoped_release unlocked;
    Compute(c, threads);
  }
  return outputs;
}

// series(routine, prices, period, empty): one routine (0 trend, 1 cycle, 2 model) over a
// 1-D array. Called on every array the package is given, so it is a plain CPython function
// without pybind11's dispatch around it.
PyObject* Series(PyObject*, PyObject* const* arguments, Py_ssize_t count) {
  return Guarded([&]() -> PyObject* {
    if (count != 4) {
      throw py::type_error("series() takes 4 arguments: routine, prices, period, empty");
    }
    const long routine = LongArgument(arguments[0]);
    const int routines[] = {static_cast<int>(routine)};
    return Run(routines, arguments[1], arguments[2], arguments[3], 1, 1).front().release().ptr();
  });
}

PyMethodDef series_definition = {
    "series", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&Series)), METH_FASTCALL,
    "series(routine, prices, period, empty): routine 0 (trend), 1 (cycle) or 2 (model) over a "
    "1-D array; period a number or a 1-D array. Returns a new float32 array."};

}  // namespace

void BindBatch(py::module_& module) {
  PyObject* series = PyCFunction_NewEx(&series_definition, nullptr, module.attr("__name__").ptr());
  if (series == nullptr) {
    throw py::error_already_set();
  }
  module.add_object("series", py::reinterpret_steal<py::object>(series));

  module.def(
      "series_all",
      [](py::handle prices, py::handle period, py::handle empty) {
        const int routines[] = {0, 1, 2};
        std::vector<py::array> out = Run(routines, prices, period, empty, 1, 1);
        return py::make_tuple(out[0], out[1], out[2]);
      },
      py::arg("prices"), py::arg("period"), py::arg("empty"),
      "The three routines over a 1-D array: (trend, cycle, model).");

  module.def(
      "columns",
      [](const std::vector<int>& routines, py::handle prices, py::handle period, py::handle empty,
         int threads) {
        return py::tuple(py::cast(Run(routines, prices, period, empty, threads, 2)));
      },
      py::arg("routines"), py::arg("prices"), py::arg("period"), py::arg("empty"),
      py::arg("threads"),
      "Routines over each column of a 2-D array (bars down the first axis) on up to `threads` "
      "threads; period a number, one per row (1-D) or one per bar (2-D, same shape). Returns "
      "one Fortran-ordered float32 array per routine.");
}

}  // namespace tessaryn::python
