// The parts of the extension module tessaryn._core, each adding its functions or classes.
#pragma once

#include <pybind11/pybind11.h>

namespace tessaryn::python {

// series, series_all and columns: the batch routines over arrays (batch.cpp).
void BindBatch(pybind11::module_& module);

}  // namespace tessaryn::python
