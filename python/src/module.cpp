// tessaryn._core: the compiled part of the Python package. The package's Python layer
// checks and unwraps what callers pass (lists, pandas objects, keywords) and wraps what
// comes back; this module runs the library's C routines on numpy arrays.
#include <pybind11/pybind11.h>

#include "bindings.h"
#include "routines.h"

#ifndef TESSARYN_VERSION
#error "TESSARYN_VERSION must be defined by the build"
#endif

PYBIND11_MODULE(_core, module) {
  module.doc() = "The library's routines over numpy arrays (use the tessaryn package).";
  module.attr("__version__") = TESSARYN_VERSION;
  module.attr("EMPTY_BITS") = tessaryn::python::kEmptyBits;
  // (function, output, routine) for each indicator, by routine number: the package's lists.
  pybind11::list indicators;
  for (const auto& names : tessaryn::python::kIndicatorNames) {
    indicators.append(pybind11::make_tuple(names.function, names.output, names.routine));
  }
  module.attr("INDICATORS") = pybind11::tuple(indicators);
  tessaryn::python::BindBatch(module);
  tessaryn::python::BindStream(module);
  tessaryn::python::BindGaps(module);
  tessaryn::python::BindCsvText(module);
}
