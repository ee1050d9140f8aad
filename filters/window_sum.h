// Window sums of the trend filter.
#pragma once

#include <cstdint>

#include "filters/filters.h"

namespace tessaryn {

// Sum of prices[i - period + 1 .. i] formed afresh, newest price first, in double: the
// definition, whose rounding is fixed by the window alone.
inline double FreshWindowSum(PriceSeries prices, std::int32_t i, std::int32_t period) noexcept {
  double sum = 0.0;
  for (std::int32_t k = i; k > i - period; --k) {
    sum += static_cast<double>(prices[k]);
  }
  return sum;
}

// A window sum carried from bar to bar: the sum of the `period` prices up to bar `newest`;
// period 0 when there is none.
struct CarriedWindow {
  double sum = 0.0;
  std::int32_t newest = 0;
  std::int32_t period = 0;
};

// MoveWindow's general case, out of line.
double MoveWindowSlowly(PriceSeries prices, CarriedWindow from, std::int32_t i,
                        std::int32_t period) noexcept;

// What the window sum gains from bar i - 1, whose period was `before`, to bar i, whose
// period is `period`, at most one bar more or less: the newest price, less the oldest one or
// two prices of the last window (none when the period grew).
inline double SlideDifference(PriceSeries prices, std::int32_t i, std::int32_t before,
                              std::int32_t period) noexcept {
  const auto newest = static_cast<double>(prices[i]);
  const std::int32_t oldest = i - before;
  if (period > before) {
    return newest;
  }
  const double slid = newest - static_cast<double>(prices[oldest]);
  return period == before ? slid : slid - static_cast<double>(prices[oldest + 1]);
}

// The sum of the window of bar i, from the carried one: by one exact difference when the
// window moves on by a bar with a period that stays or drifts by one, otherwise by adding
// and removing prices one at a time while that is cheaper than a fresh sum. Every partial
// sum is a run of prices from the old or the new window. It equals FreshWindowSum's bits
// only where those sums are exact (exact_sum.h); the caller confirms that.
inline double MoveWindow(PriceSeries prices, CarriedWindow from, std::int32_t i,
                         std::int32_t period) noexcept {
  const std::int32_t growth = period - from.period;
  if (i == from.newest + 1 && from.period > 0 && growth >= -1 && growth <= 1) {
    return from.sum + SlideDifference(prices, i, from.period, period);
  }
  return MoveWindowSlowly(prices, from, i, period);
}

}  // namespace tessaryn
