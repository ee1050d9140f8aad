// Computed bars of the trend line: window average plus half the smoothed window change.
#pragma once

#include <algorithm>
#include <cstdint>

#include "filters/bar_loop.h"
#include "filters/double2.h"
#include "filters/exact_sum.h"
#include "filters/filters.h"
#include "filters/history4.h"
#include "filters/move_four.h"
#include "filters/window_sum.h"

namespace tessaryn {

struct TrendStep {
  // The series travels with the carried window so that both stay in registers.
  struct Serial {
    PriceSeries prices;
    CarriedWindow window;
  };

  PriceSeries prices;
  History4 changes{};  // TrendHistory: the window change of each computed bar
  double sums[ChunkBars];
  std::int32_t lengths[ChunkBars];
  ExactSums exact;
  CarriedWindow entry;        // the window carried into the chunk
  bool uniformChunk = false;  // as Pairable found the chunk

  explicit TrendStep(PriceSeries prices) noexcept : prices(prices) {}

  Serial Start() const noexcept { return {prices, {}}; }

  // Requires 1 <= period <= i, so the window i - period + 1 .. i starts at bar 1 or later.
  void Record(Serial& s, std::int32_t i, std::int32_t period, int k) noexcept {
    s.window = {MoveWindow(s.prices, s.window, i, period), i, period};
    sums[k] = s.window.sum;
    lengths[k] = period;
    changes.at(k) =
        static_cast<double>(s.prices[i]) - static_cast<double>(s.prices[i - period + 1]);
  }

  // Two bars at a time (see BarLoop), the window moving on by one bar each time, with a
  // period that stays the same or, drifting, changes by one bar from bar to bar. Every sum
  // on the way must be confirmed exact first.
  struct Pairs {
    PriceSeries prices;
    const std::int32_t* periods;  // of the chunk's bars
    std::int32_t first;
    std::int32_t period;  // of the last bar
    bool uniform;         // one period throughout, the same as the carried window's
    double sum;
    Double2 before;   // window changes of the two bars before
    Double2 before2;  // and of the two before those
  };

  bool Pairable(const Serial& s, std::int32_t first, int n, const std::int32_t* periods,
                bool uniform) noexcept {
    const std::int32_t carried = s.window.period;
    if (carried == 0 || s.window.newest != first - 1) {
      return false;
    }
    // Steps of at most one bar: then window starts never move back, so the oldest price any
    // sum touches is the carried window's or the first bar's, and no window is longer than
    // the longer of the two plus the chunk.
    // A change of -1, 0 or 1 plus one, as unsigned, is at most 2.
    auto larger = static_cast<std::uint32_t>(periods[0] - carried + 1);
    if (!uniform) {
      for (int k = 1; k < n; ++k) {
        const auto step = static_cast<std::uint32_t>(periods[k] - periods[k - 1] + 1);
        larger = step > larger ? step : larger;
      }
    }
    if (larger > 2u) {
      return false;
    }
    uniformChunk = uniform;
    const std::int32_t oldest = std::min(first - carried, first - periods[0] + 1);
    const std::int64_t longest = std::max(carried, periods[0]) + (uniform ? 0 : n);
    return exact.Confirm(prices, oldest, first + n - 1, longest + 1);
  }

  Pairs StartPairs(const Serial& s, std::int32_t first,
                   const std::int32_t* periods) const noexcept {
    return {s.prices,
            periods,
            first,
            s.window.period,
            uniformChunk && periods[0] == s.window.period,
            s.window.sum,
            Double2::Of(changes.at(-2), changes.at(-1)),
            Double2::Of(0.0, changes.at(-3))};
  }

#if defined(TESSARYN_MOVE_FOUR)
  // A whole chunk four bars at a time, where the build and the processor allow
  // (move_four.h); false when they do not.
  bool MoveChunk(Pairs& q, int n, ResultSeries out) noexcept {
    if (n % 4 != 0) {
      return false;
    }
    double history[4];
    Unpack4(q.before2, q.before, history);
    if (!MoveFourAtATime(q.prices, q.periods, q.uniform, q.first, n, out, q.sum, q.period,
                         history)) {
      return false;
    }
    Pack4(history, q.before2, q.before);
    return true;
  }
#endif

  template <bool Uniform>
  Double2 Pair(Pairs& q, std::int32_t i, int k) noexcept {
    if constexpr (Uniform) {  // the window slides: fixed offsets, nothing per bar to look up
      const Double2 newest = Double2::Load(q.prices + i);
      const Double2 change = newest - Double2::Load(q.prices + i - q.period + 1);
      const Double2 slide = newest - Double2::Load(q.prices + i - q.period);
      const double sum0 = q.sum + slide.Low();  // in bar order, as one bar at a time
      q.sum = sum0 + slide.High();
      return PairValues(q, change, Double2::Of(sum0, q.sum), Double2::Both(q.period));
    } else {
      const PriceSeries p = q.prices;
      const auto price = [p](std::int32_t j) { return static_cast<double>(p[j]); };
      const std::int32_t period0 = q.periods[k];
      const std::int32_t period1 = q.periods[k + 1];
      const Double2 newest = Double2::Load(p + i);
      const Double2 change = newest - Double2::Of(price(i - period0 + 1), price(i - period1 + 2));
      // Each bar's window is the last one with its newest price added and its oldest one or two
      // prices (none when the period grew) removed; exact, so in any grouping.
      const double slide0 = SlideDifference(p, i, q.period, period0);
      const double slide1 = SlideDifference(p, i + 1, period0, period1);
      const double sum0 = q.sum + slide0;
      q.sum = sum0 + slide1;
      q.period = period1;
      return PairValues(q, change, Double2::Of(sum0, q.sum),
                        Double2::Of(static_cast<double>(period0), static_cast<double>(period1)));
    }
  }

  // The two bars' values from their window changes, sums and lengths.
  Double2 PairValues(Pairs& q, Double2 change, Double2 sums, Double2 lengths) noexcept {
    const Double2 smoothed = Smooth4Pair(change, q.before, q.before2);
    q.before2 = q.before;
    q.before = change;
    return smoothed / Double2::Both(2.0) + sums / lengths;
  }

  void EndPairs(Serial& s, const Pairs& q, int n) noexcept {
    s.window = {q.sum, q.first + n - 1, q.period};
    entry = s.window;
    EndHistory(changes, q.before, q.before2, n);
  }

  // The carried sums are the fresh sums' bits where every sum formed on the way is exact;
  // where that cannot be confirmed, the chunk's sums are formed afresh.
  void Settle(Serial& s, const std::int32_t* bars, const std::int32_t* periods,
              int computed) noexcept {
    if (computed == 0) {
      return;
    }
    std::int32_t oldest = entry.period > 0 ? entry.newest - entry.period + 1 : bars[0];
    std::int32_t longest = entry.period;
    for (int k = 0; k < computed; ++k) {
      const std::int32_t start = bars[k] - periods[k] + 1;
      oldest = start < oldest ? start : oldest;
      longest = periods[k] > longest ? periods[k] : longest;
    }
    const std::int64_t terms = std::int64_t{longest} + 1;  // a window and one more price
    if (!exact.Confirm(prices, oldest, bars[computed - 1], terms)) {
      for (int k = 0; k < computed; ++k) {
        sums[k] = FreshWindowSum(prices, bars[k], periods[k]);
      }
      s.window.period = 0;  // carry nothing that may have rounded
    }
    entry = s.window;
  }

  double Value(int k) const noexcept {
    const double average = sums[k] / static_cast<double>(lengths[k]);
    return changes.Smoothed(k) / 2.0 + average;
  }
  double EarlyValue(int k, std::int32_t) const noexcept {
    return Value(k);
  }

  void Carry(int computed) noexcept {
    changes.Carry(computed);
  }
};

}  // namespace tessaryn
