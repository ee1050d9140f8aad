// The types and constants the filters share.
//
// Every routine makes one forward pass over `count` bars, oldest bar first, and writes one
// single-precision value per bar. A bar whose rounded period exceeds its index (or whose
// period is not a whole number of bars from 1 to 2^31 - 1 once rounded) gets EmptyValue.
// All working state lives in the call: the routines allocate nothing and write no globals
// (but the width choice of dispatch.cpp, the same for every call).
#pragma once

#include <bit>
#include <cstdint>

#include "exports/tessaryn.h"

namespace tessaryn {

// Caller-owned contiguous arrays, index 0 the oldest bar, at least `count` elements each.
using PriceSeries = const float*;
using PeriodSeries = const float*;
using ResultSeries = float*;

// Marker for bars that are not computed: 3.4E+38 rounded to single precision, which is
// neither the largest finite single nor an infinity, so hosts can test for it exactly.
inline constexpr float EmptyValue = TESSARYN_EMPTY;
static_assert(std::bit_cast<std::uint32_t>(EmptyValue) == TESSARYN_EMPTY_BITS);

// The ten-decimal constant, about 9.0E-11 short of pi; the cycle coefficients depend on
// these exact bits, so it is written as a literal and never computed.
inline constexpr double Pi = 3.1415926535;
static_assert(std::bit_cast<std::uint64_t>(Pi) == 0x400921FB54411744u);

}  // namespace tessaryn
