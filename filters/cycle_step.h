// Computed bars of the cycle: a one-pole high-pass with a per-bar coefficient, smoothed.
#pragma once

#include <cstdint>

#include "filters/bar_loop.h"
#include "filters/cycle_coefficients.h"
#include "filters/filters.h"
#include "filters/history4.h"
#include "filters/lanes.h"

namespace tessaryn {

struct CycleStep {
  template <class V>
  struct State {
    double highPass = 0.0;              // of the last computed bar
    HighPassCoefficients coefficients;  // of the last computed bar's period
    History4<V> values;                 // high-pass values of the computed bars

    State() = default;
    template <class W>
    explicit State(const State<W>& other) noexcept
        : highPass(other.highPass), coefficients(other.coefficients), values(other.values) {}
  };

  PriceSeries prices;
  CoefficientCache cache;

  explicit CycleStep(PriceSeries prices) noexcept : prices(prices) {}

  // Bars go together where all are computed, never before bar 3 (whose value is chosen
  // differently); uniform when one period holds throughout, as it did on the bar before.
  Pace Plan(State<double>& s, const Chunk& c) noexcept {
    if (!c.full || c.first < 3) {
      return Pace::BarByBar;
    }
    if (c.uniform && c.periods[0] == s.coefficients.period) {
      return Pace::Uniform;
    }
    return Pace::Drifting;
  }

  // What the value takes of each bar: its price change and high-pass value.
  template <class V>
  struct Inputs {
    V change;
    V highPass;
  };

  // Requires 1 <= period <= i, so bar i - 1 exists.
  Inputs<double> Record(State<double>& s, std::int32_t i, std::int32_t period) noexcept {
    Use(s, period);
    const double change = PriceChange<double>(i);
    return {change,
            HighPass(s, s.coefficients.gain, change, [&s](int) { return s.coefficients.alpha; })};
  }

  // Uniform: the coefficients of the bar before hold; else each bar's are looked up.
  template <class V, bool Uniform>
  Inputs<V> Slide(State<V>& s, std::int32_t i, const std::int32_t* periods) noexcept {
    const V change = PriceChange<V>(i);
    if constexpr (Uniform) {
      const HighPassCoefficients& k = s.coefficients;
      return {change, HighPass(s, Both<V>(k.gain), change, [&k](int) { return k.alpha; })};
    } else {
      HighPassCoefficients lanes[Width<V>];  // copies: a later lookup may reuse a slot
      for (int j = 0; j < Width<V>; ++j) {
        lanes[j] = cache.For(periods[j]);
      }
      s.coefficients = lanes[Width<V> - 1];
      const V gains = EachLane<V>([&lanes](int j) { return lanes[j].gain; });
      return {change, HighPass(s, gains, change, [&lanes](int j) { return lanes[j].alpha; })};
    }
  }

  // The value is chosen by bar index, not by how many bars were computed: bars 1 and 2 give
  // the plain change while their high-pass values already fill the history. (Bar 0 is never
  // computed, since the period is at least 1; bars before 3 always come one at a time.)
  template <class V>
  V Value(State<V>& s, const Inputs<V>& in, std::int32_t i) const noexcept {
    const V smoothed = s.values.Advance(in.highPass);
    if constexpr (Width<V> == 1) {
      return i < 3 ? in.change : smoothed;
    } else {
      return smoothed;
    }
  }

 private:
  // Always the change from the bar just before, even when that bar was empty.
  template <class V>
  V PriceChange(std::int32_t i) const noexcept {
    return Widen<V>(prices + i) - Widen<V>(prices + i - 1);
  }

  // HP = 0.5 (1 + alpha) change + alpha HP of the computed bar before, bar after bar, with
  // gain 0.5 (1 + alpha) and alphaOf(j) the coefficients of the j-th bar of the lanes.
  template <class V, class Gain, class Alpha>
  static V HighPass(State<V>& s, Gain gain, V change, Alpha&& alphaOf) noexcept {
    int j = 0;
    return Serially(gain * change,
                    [&](double input) { return s.highPass = input + alphaOf(j++) * s.highPass; });
  }

  template <class V>
  void Use(State<V>& s, std::int32_t period) noexcept {
    if (period != s.coefficients.period) {
      s.coefficients = cache.For(period);
    }
  }
};

}  // namespace tessaryn
