// Window sums of the trend filter: the fresh sum that defines them, and a sum carried from
// bar to bar that equals it wherever its additions are exact (exact_sum.h).
#pragma once

#include <cstdint>

#include "filters/filters.h"
#include "filters/lanes.h"

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

// The fresh sums of the windows of Chains * Width<V> consecutive bars from bar i, all of
// length `period`, into sums[0 ..]: the windows side by side in lanes, each with
// FreshWindowSum's additions in its order, Chains groups of lanes at once since their
// chains of additions are independent. Reads prices[i - period + 1 .. i + Chains * Width<V> - 1].
template <class V, int Chains>
void FreshWindowSums(PriceSeries prices, std::int32_t i, std::int32_t period,
                     double* sums) noexcept {
  constexpr int Across = Chains * Width<V>;
  // Prices widened at a time, each once for every window: few enough that the buffer stays
  // small on a routine's stack (a thread's may be 16 KiB), enough that the Across - 1 widened
  // again with each step cost little. The steps only cut the chains, never reorder them.
  constexpr std::int32_t Steps = 64;
  V chains[Chains];
  for (V& chain : chains) {
    chain = Both<V>(0.0);
  }
  double widened[Steps + Across - 1];
  for (std::int32_t done = 0; done < period; done += Steps) {
    const std::int32_t n = period - done < Steps ? period - done : Steps;
    // Prices i - done - n + 1 .. i - done + Across - 1: the next n additions of every window.
    const PriceSeries from = prices + (i - done - n + 1);
    for (std::int32_t m = 0; m < n + Across - 1; ++m) {
      widened[m] = static_cast<double>(from[m]);
    }
    for (std::int32_t k = n - 1; k >= 0; --k) {  // newest first
      for (int c = 0; c < Chains; ++c) {
        chains[c] = chains[c] + FromLanes<V>(widened + k + c * Width<V>);
      }
    }
  }
  int lane = 0;
  for (const V& chain : chains) {
    Serially(chain, [&](double sum) { return sums[lane++] = sum; });
  }
}

// The exact sum of prices[lo .. hi] (lo <= hi + 1) where every run sum there is exact (the
// caller knows): Pieces contiguous pieces side by side, their chains independent, then their
// totals, each with its neighbour's, so that every value formed is a run's sum.
inline double ExactRunSum(PriceSeries prices, std::int32_t lo, std::int32_t hi) noexcept {
  constexpr std::int32_t Pieces = 8;
  const std::int32_t n = hi - lo + 1;
  const PriceSeries x = prices + lo;
  if (n < 2 * Pieces) {  // too few for the pieces to pay: one chain
    double sum = 0.0;
    for (std::int32_t k = 0; k < n; ++k) {
      sum += static_cast<double>(x[k]);
    }
    return sum;
  }
  const std::int32_t piece = n / Pieces;
  double c[Pieces] = {};
  for (std::int32_t k = 0; k < piece; ++k) {
    for (std::int32_t p = 0; p < Pieces; ++p) {
      c[p] += static_cast<double>(x[p * piece + k]);
    }
  }
  double sum = ((c[0] + c[1]) + (c[2] + c[3])) + ((c[4] + c[5]) + (c[6] + c[7]));
  for (std::int32_t k = Pieces * piece; k < n; ++k) {
    sum += static_cast<double>(x[k]);
  }
  return sum;
}

// The sum of prices[from .. to] from `kept`, that of prices[start .. end] (none when end <
// start), where every sum of a run inside either is exact: the kept run's ends moved where
// that costs fewer prices than afresh (so the runs overlap), else ExactRunSum afresh. The start
// moves first: each value formed is the sum of a run inside the kept one or the new one, and
// so is each run of prices added or taken away.
double MovedRunSum(PriceSeries prices, double kept, std::int32_t start, std::int32_t end,
                   std::int32_t from, std::int32_t to) noexcept;

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

// The sum of the window of bar i when it is not the carried one moved on by a bar, where every
// sum of its prices and the carried window's is exact (exact_sum.h, run_sums.h; the caller
// confirms that): the carried window's moved (MovedRunSum). Every value formed is the sum of a
// run of prices from the old or the new window, so it has FreshWindowSum's bits. The window comes
// field by field: as one struct by value, its two 32-bit fields would be loaded as one 64-bit
// register just after the caller stored them apart, which stalls.
double JumpWindow(PriceSeries prices, double fromSum, std::int32_t fromNewest,
                  std::int32_t fromPeriod, std::int32_t i, std::int32_t period) noexcept;
inline double JumpWindow(PriceSeries prices, const CarriedWindow& from, std::int32_t i,
                         std::int32_t period) noexcept {
  return JumpWindow(prices, from.sum, from.newest, from.period, i, period);
}

}  // namespace tessaryn
