// Computed bars of trend plus cycle: both steps on the same bars, their values added and
// rounded once, when stored.
#pragma once

#include <cstdint>

#include "filters/bar_loop.h"
#include "filters/cycle_step.h"
#include "filters/trend_step.h"

namespace tessaryn {

// The model's value from the trend's and the cycle's, for one bar or several at once.
template <class V>
V TrendPlusCycle(V trend, V cycle) noexcept {
  return cycle + trend;
}

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

  // Together only where both go together, at the trend's pace (the cycle's recursion takes
  // either): the cycle decides first, the trend then sees every chunk that the cycle takes
  // bar by bar as one to take bar by bar too (it still decides how its sums are formed).
  Pace Plan(State<double>& s, const Chunk& c) noexcept {
    Chunk forTrend = c;
    forTrend.full = c.full && cycle.Plan(s.cycle, c) != Pace::BarByBar;
    return trend.Plan(s.trend, forTrend);
  }

  template <class V>
  struct Inputs {
    TrendStep::Inputs<V> trend;
    CycleStep::Inputs<V> cycle;
  };

  Inputs<double> Record(State<double>& s, std::int32_t i, std::int32_t period) noexcept {
    return {trend.Record(s.trend, i, period), cycle.Record(s.cycle, i, period)};
  }

  template <class V, bool Uniform>
  Inputs<V> Slide(State<V>& s, std::int32_t i, const std::int32_t* periods) noexcept {
    return {trend.Slide<V, Uniform>(s.trend, i, periods),
            cycle.Slide<V, Uniform>(s.cycle, i, periods)};
  }

  template <class V>
  V Value(State<V>& s, const Inputs<V>& in, std::int32_t i) const noexcept {
    const V trendValue = trend.Value(s.trend, in.trend, i);
    return TrendPlusCycle(trendValue, cycle.Value(s.cycle, in.cycle, i));
  }
};

}  // namespace tessaryn
