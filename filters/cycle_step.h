// Computed bars of the cycle: a one-pole high-pass with a per-bar coefficient, smoothed.
#pragma once

#include <array>
#include <cstdint>

#include "filters/chunk.h"
#include "filters/cycle_coefficients.h"
#include "filters/filters.h"
#include "filters/history4.h"
#include "filters/lanes.h"

namespace tessaryn {

struct CycleStep {
  // What Record and Slide carry: the high-pass recursion of the last computed bar.
  struct Serial {
    double highPass = 0.0;
    HighPassCoefficients coefficients;  // of its period
  };

  // What Value carries: the high-pass values of the computed bars.
  template <class V>
  struct Histories {
    History4<V> values;

    Histories() = default;
    template <class W>
    explicit Histories(const Histories<W>& other) noexcept : values(other.values) {}
  };

  // What the value takes of each bar: its price change and high-pass value.
  template <class V>
  struct Inputs {
    V change;
    V highPass;
  };

  // A bar's values: the cycle alone.
  template <class V>
  struct Outputs {
    V cycle;
    V Own() const noexcept { return cycle; }
  };
  static constexpr int outputs = 1;

  struct Plan {
    Pace pace = Pace::BarByBar;
  };

  PriceSeries prices;
  CoefficientCache cache;

  explicit CycleStep(PriceSeries prices) noexcept : prices(prices) {}

  // Bars go together where all are computed, never before bar 3 (whose value is chosen
  // differently); uniform when one period holds throughout, as it did on the bar before.
  template <class V>
  void PlanChunk(const Serial& s, const Chunk& c, Plan& plan) const noexcept {
    if (!c.full || c.first < 3) {
      plan = {Pace::BarByBar};
    } else {
      plan = {c.uniform && c.periods[0] == s.coefficients.period ? Pace::Uniform : Pace::Drifting};
    }
  }

  Plan PlanBar(const Serial&, std::int32_t, std::int32_t) const noexcept { return {}; }

  // Requires 1 <= period <= i, so bar i - 1 exists.
  Inputs<double> Record(Serial& s, const Plan&, std::int32_t i, std::int32_t period) noexcept {
    if (period != s.coefficients.period) {
      s.coefficients = cache.For(period);
    }
    const double change = PriceChange<double>(i);
    return {change,
            HighPass(s, s.coefficients.gain, change, [&s](int) { return s.coefficients.alpha; })};
  }

  // Uniform: the coefficients of the bar before hold; else each bar's are looked up.
  template <class V, Pace P>
  Inputs<V> Slide(Serial& s, const Plan&, std::int32_t i, const std::int32_t* periods) noexcept {
    const V change = PriceChange<V>(i);
    if constexpr (P == Pace::Uniform) {
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
  static Outputs<V> Value(Histories<V>& h, const Inputs<V>& in, std::int32_t i) noexcept {
    const V smoothed = h.values.Advance(in.highPass);
    if constexpr (Width<V> == 1) {
      return {i < 3 ? in.change : smoothed};
    } else {
      return {smoothed};
    }
  }

  // A stream's next bar may take the uniform slide when its period is the last computed
  // bar's (whose coefficients are in hand).
  bool Slides(const Serial& s, std::int32_t, std::int32_t period) const noexcept {
    return s.coefficients.period == period;
  }
  void Rebase(Serial&, PriceSeries at, std::int32_t) noexcept { prices = at; }
  void Forget(std::int32_t) noexcept {}
  void Reset() noexcept {}

  // What a computed bar overwrites, and putting it back (Revise).
  struct Kept {
    double highPass;
    HighPassCoefficients coefficients;
    double dropped;  // the history's oldest value, which the bar lets go
  };
  static Kept Keep(const Serial& s, const Histories<double>& h) noexcept {
    return {s.highPass, s.coefficients, h.values.h3};
  }
  static void PutBack(Serial& s, Histories<double>& h, const Kept& k) noexcept {
    s.highPass = k.highPass;
    s.coefficients = k.coefficients;
    h.values.Retreat(k.dropped);
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
  static V HighPass(Serial& s, Gain gain, V change, Alpha&& alphaOf) noexcept {
    int j = 0;
    return Serially(gain * change,
                    [&](double input) { return s.highPass = input + alphaOf(j++) * s.highPass; });
  }
};

}  // namespace tessaryn
