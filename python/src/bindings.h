// The parts of the extension module tessaryn._core, each adding its functions or classes to
// it. A new part is a source file of its own in this folder (both builds compile every one)
// with its Bind function declared here and called from module.cpp.
#pragma once

#include <pybind11/pybind11.h>

namespace tessaryn::python {

// series, series_all and columns: the batch routines over arrays (batch.cpp).
void BindBatch(pybind11::module_& module);

// Stream and BarValues: the library's C stream, bar by bar (stream.cpp).
void BindStream(pybind11::module_& module);

// first_missing: where a float array first holds NaN, for gaps="skip" (gaps.cpp).
void BindGaps(pybind11::module_& module);

// csv_rows: the command line's CSV output rows as bytes (csv_text.cpp).
void BindCsvText(pybind11::module_& module);

}  // namespace tessaryn::python
