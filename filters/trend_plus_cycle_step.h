// Computed bars of trend plus cycle: both steps on the same bars, their values added and
// rounded once, when stored.
#pragma once

#include <cstdint>

#include "filters/bar_loop.h"
#include "filters/cycle_step.h"
#include "filters/trend_step.h"

namespace tessaryn {

struct TrendPlusCycleStep {
  template <class V>
  struct State {
    TrendStep::State<V> trend;
    CycleStep::State<V> cycle;

    State() = default;
    template <class W>
    explicit State(const State<W>& other) noexcept : trend(other.trend), cycle(other.cycle) {}
  };

  TrendStep trend;
  CycleStep cycle;

  explicit TrendPlusCycleStep(PriceSeries prices) noexcept : trend(prices), cycle(prices) {}

  // Together only where both go together (the cycle only in chunks of one period); at the
  // trend's pace, since the cycle's recursion is the same at either.
  Pace Plan(State<double>& s, const Chunk& c) noexcept {
    const Pace trendPace = trend.Plan(s.trend, c);  // always: it decides how sums are formed
    const Pace cyclePace = cycle.Plan(s.cycle, c);
    return cyclePace == Pace::BarByBar ? Pace::BarByBar : trendPace;
  }

  double Advance(State<double>& s, std::int32_t i, std::int32_t period) noexcept {
    const double trendValue = trend.Advance(s.trend, i, period);
    return cycle.Advance(s.cycle, i, period) + trendValue;
  }

  template <class V, bool Uniform>
  V AdvanceTogether(State<V>& s, std::int32_t i, const std::int32_t* periods) noexcept {
    const V trendValue = trend.AdvanceTogether<V, Uniform>(s.trend, i, periods);
    return cycle.AdvanceTogether<V, Uniform>(s.cycle, i, periods) + trendValue;
  }
};

}  // namespace tessaryn
