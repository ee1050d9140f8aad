// The trend's two-at-a-time chunks four bars at a time, with AVX2 where the processor has it.
#pragma once

#include <cstdint>

#include "filters/filters.h"

namespace tessaryn {

// Bars first .. first + n - 1 (n a multiple of 4), all computed, bar first + k with window
// length lengths[k]; each window is the last one moved on by a bar with a length at most one
// bar more or less (`period` is the length of the bar before), and every sum on the way is
// already confirmed exact. Stores their trend values in out[first ..]. `sum` is the window
// sum of the bar before and becomes the last bar's, `period` its length; `changes` holds the
// window changes of the four bars before, oldest first, and becomes the last four bars'.
// `uniform`: every length equals `period`. The same operations as two bars at a time, so
// the same bits. Returns false, touching nothing, where AVX2 is not available.
bool MoveFourAtATime(PriceSeries prices, const std::int32_t* lengths, bool uniform,
                     std::int32_t first, int n, ResultSeries out, double& sum, std::int32_t& period,
                     double changes[4]) noexcept;

// The cycle's state for SlideModelFourAtATime: the recursion's coefficients, the high-pass
// value of the bar before, and the high-pass values of the four bars before, oldest first.
struct CycleFour {
  double gain;
  double alpha;
  double last;
  double highPass[4];
};

// Trend plus cycle (Tessaryn) over the bars of MoveFourAtATime with `uniform` true: the
// trend's state as there, the cycle's in `cycle`, both carried on.
bool SlideModelFourAtATime(PriceSeries prices, std::int32_t period, std::int32_t first, int n,
                           ResultSeries out, double& sum, double changes[4],
                           CycleFour& cycle) noexcept;

}  // namespace tessaryn
