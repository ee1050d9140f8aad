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

  // Bars go together with one period throughout (the recursion's coefficients stay), and
  // never before bar 3, whose value is chosen differently.
  Pace Plan(State<double>& s, const Chunk& c) noexcept {
    if (!c.full || !c.uniform || c.first < 3) {
      return Pace::BarByBar;
    }
    Use(s, c.periods[0]);
    return Pace::Uniform;
  }

  // Requires 1 <= period <= i, so bar i - 1 exists.
  double Advance(State<double>& s, std::int32_t i, std::int32_t period) noexcept {
    Use(s, period);
    const double change = PriceChange<double>(i);
    const double smoothed = s.values.Advance(HighPass(s, change));
    // The value is chosen by bar index, not by how many bars were computed: bars 1 and 2
    // give the plain change while their high-pass values already fill the history. (Bar 0 is
    // never computed, since the period is at least 1.)
    return i < 3 ? change : smoothed;
  }

  // One period throughout the chunk (Plan), the recursion's coefficients set for it.
  template <class V, bool Uniform>
  V AdvanceTogether(State<V>& s, std::int32_t i, const std::int32_t*) noexcept {
    return s.values.Advance(HighPass(s, PriceChange<V>(i)));
  }

 private:
  // Always the change from the bar just before, even when that bar was empty.
  template <class V>
  V PriceChange(std::int32_t i) const noexcept {
    return Widen<V>(prices + i) - Widen<V>(prices + i - 1);
  }

  // HP = 0.5 (1 + alpha) change + alpha HP of the computed bar before, bar after bar.
  template <class V>
  static V HighPass(State<V>& s, V change) noexcept {
    const HighPassCoefficients& k = s.coefficients;
    return Serially(k.gain * change, [&s, alpha = k.alpha](double input) {
      return s.highPass = input + alpha * s.highPass;
    });
  }

  template <class V>
  void Use(State<V>& s, std::int32_t period) noexcept {
    if (period != s.coefficients.period) {
      s.coefficients = cache.For(period);
    }
  }
};

}  // namespace tessaryn
