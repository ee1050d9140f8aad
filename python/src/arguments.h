// Checks the arguments of the package's calls, and views arrays as bar columns. Errors are
// ValueError or TypeError naming the argument.
#pragma once

#include <pybind11/numpy.h>

#include <optional>
#include <string>

#include "bar_columns.h"

namespace tessaryn::python {

// The argument `name`, an array of `dims` dimensions (1: one series; 2: bars down the first
// axis, one series per column), as float32 columns. Real element types that are not read
// directly (half or extended precision, a foreign byte order, misaligned elements) are
// converted by numpy first, into an array left in `keep`, which must outlive the view.
// Anything else raises ValueError or TypeError naming the argument: another number of
// dimensions, elements that are not real numbers (bool, complex, dates, objects, text), or
// more bars than a call takes (2^31 - 1).
BarColumns ViewArgument(const pybind11::array& array, const char* name, int dims,
                        pybind11::object& keep);

// `argument` (the argument `name`) as a numpy array; TypeError if it is none.
pybind11::array AsArray(pybind11::handle argument, const char* name);

// A period given as one number (a float, an int but not a bool, a 0-D real array), if it
// is one; an int beyond every double gives an infinity of its sign.
std::optional<double> FixedPeriod(pybind11::handle period);

// The argument `name`, one real number: a float, an int (not a bool; one beyond every double
// gives an infinity of its sign), a real numpy scalar or 0-D array, or another object float()
// takes (a Fraction, a Decimal). TypeError naming the argument for anything else: a bool,
// text, a complex number, an array, Series or list of numbers.
double RealNumber(pybind11::handle value, const char* name);

// Whether empty="nan" (NaN on bars not computed) rather than empty="marker".
bool NanForEmpty(pybind11::handle empty);

// "(3, 4)": an array's shape as Python prints it, for messages.
std::string ShapeText(const pybind11::array& array);

}  // namespace tessaryn::python
