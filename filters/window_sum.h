// Window sums of the trend filter: the fresh sum that defines them, and a sum carried from
// bar to bar that equals it wherever its additions are exact (exact_sum.h).
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

// Stands for a price that does not leave the window: subtracting it changes nothing.
struct NoPrice {};
template <class V>
V operator-(V value, NoPrice) noexcept {
  return value;
}

// What a window sum gains when its window moves on by a bar: the newest price, less the
// oldest price of the last window unless the window grew, less the one after it too if the
// window shrank (0 or NoPrice where no price leaves). For one bar or several at once.
template <class V, class Leaving, class AlsoLeaving>
V SlideDifference(V newest, Leaving leaving, AlsoLeaving alsoLeaving) noexcept {
  return (newest - leaving) - alsoLeaving;
}

// The same read from the prices, for bar i with window length `period` after a bar with
// window length `before`, at most one bar more or less.
inline double SlideDifference(PriceSeries prices, std::int32_t i, std::int32_t before,
                              std::int32_t period) noexcept {
  // Both prices lie in the last window or at bar i, so they may be read whether they leave
  // or not; selecting them afterwards keeps branches out of drifting windows.
  const std::int32_t growth = period - before;
  const auto leaving = static_cast<double>(prices[i - before]);
  const auto alsoLeaving = static_cast<double>(prices[i - before + 1]);
  return SlideDifference(static_cast<double>(prices[i]), growth < 1 ? leaving : 0.0,
                         growth < 0 ? alsoLeaving : 0.0);
}

// A window sum carried from bar to bar: the sum of the `period` prices up to bar `newest`;
// period 0 when there is none.
struct CarriedWindow {
  double sum = 0.0;
  std::int32_t newest = 0;
  std::int32_t period = 0;

  // Whether the window of bar i with this length is this one moved on by a bar.
  bool SlidesTo(std::int32_t i, std::int32_t length) const noexcept {
    const std::int32_t growth = length - period;
    return i == newest + 1 && period > 0 && growth >= -1 && growth <= 1;
  }

  // The carried sum with what the window gained added: the running sum of every path.
  double Gain(double gained) noexcept { return sum += gained; }
};

// The sum of the window of bar i when it is not the carried one moved on by a bar: prices
// added and removed one at a time while that is cheaper than a fresh sum, else the fresh
// sum. Every partial sum is a run of prices from the old or the new window. It equals
// FreshWindowSum's bits only where those sums are exact (exact_sum.h); the caller confirms
// that.
double JumpWindow(PriceSeries prices, CarriedWindow from, std::int32_t i,
                  std::int32_t period) noexcept;

}  // namespace tessaryn
