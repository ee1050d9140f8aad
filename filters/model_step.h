// Computed bars of the model, trend plus cycle: both steps on the same bars, their values
// added and rounded once, when stored.
#pragma once

#include <array>
#include <cassert>
#include <cstdint>

#include "filters/chunk.h"
#include "filters/cycle_step.h"
#include "filters/trend_step.h"

namespace tessaryn {

// The model's value from the trend's and the cycle's, for one bar or several at once.
template <class V>
V ModelValue(V trend, V cycle) noexcept {
  return cycle + trend;
}

struct ModelStep {
  struct Serial {
    TrendStep::Serial trend;
    CycleStep::Serial cycle;
  };

  template <class V>
  struct Histories {
    TrendStep::Histories<V> trend;
    CycleStep::Histories<V> cycle;

    Histories() = default;
    template <class W>
    explicit Histories(const Histories<W>& other) noexcept
        : trend(other.trend), cycle(other.cycle) {}
  };

  template <class V>
  struct Inputs {
    TrendStep::Inputs<V> trend;
    CycleStep::Inputs<V> cycle;
  };

  // A bar's values: its parts' and its own, in the order of the indicator table.
  template <class V>
  struct Outputs {
    V trend;
    V cycle;
    V model;
    V Own() const noexcept { return model; }
  };
  static constexpr int outputs = 3;

  struct Plan {
    TrendStep::Plan trend;
    CycleStep::Plan cycle;
    Pace pace = Pace::BarByBar;
  };

  TrendStep trend;
  CycleStep cycle;

  explicit ModelStep(PriceSeries prices) noexcept : trend(prices), cycle(prices) {}

  // Together only where both go together. The cycle decides first; the trend then sees every
  // chunk that the cycle takes bar by bar as one to take bar by bar too (it still decides how
  // its sums are formed), and its pace is the model's. That pace suits the cycle as well:
  // after every computed bar the trend's window and the cycle's coefficients have that bar's
  // period, so a chunk of the carried window's length throughout (the trend's uniform) has
  // the cycle's coefficients throughout (the cycle's uniform), and any other chunk that both
  // take together goes as the cycle's drifting does, each bar's coefficients looked up.
  template <class V>
  void PlanChunk(const Serial& s, const Chunk& c, Plan& plan) noexcept {
    // (A stream's trend may have let go of a window whose prices left its buffer.)
    assert(s.trend.window.period == 0 || s.trend.window.period == s.cycle.coefficients.period);
    cycle.PlanChunk<V>(s.cycle, c, plan.cycle);
    Chunk forTrend = c;
    forTrend.full = c.full && plan.cycle.pace != Pace::BarByBar;
    trend.PlanChunk<V>(s.trend, forTrend, plan.trend);
    plan.pace = plan.trend.pace;
    assert(plan.pace != Pace::Uniform || plan.cycle.pace == Pace::Uniform);
  }

  Plan PlanBar(const Serial& s, std::int32_t i, std::int32_t period) noexcept {
    // Formed in place: the trend's plan holds room for a chunk's sums, not to be copied.
    return {trend.PlanBar(s.trend, i, period), cycle.PlanBar(s.cycle, i, period)};
  }

  Inputs<double> Record(Serial& s, const Plan& plan, std::int32_t i, std::int32_t period) noexcept {
    return {trend.Record(s.trend, plan.trend, i, period),
            cycle.Record(s.cycle, plan.cycle, i, period)};
  }

  template <class V, Pace P>
  Inputs<V> Slide(Serial& s, const Plan& plan, std::int32_t i,
                  const std::int32_t* periods) noexcept {
    return {trend.Slide<V, P>(s.trend, plan.trend, i, periods),
            cycle.Slide<V, P>(s.cycle, plan.cycle, i, periods)};
  }

  template <class V>
  static Outputs<V> Value(Histories<V>& h, const Inputs<V>& in, std::int32_t i) noexcept {
    const V trendValue = TrendStep::Value(h.trend, in.trend, i).Own();
    const V cycleValue = CycleStep::Value(h.cycle, in.cycle, i).Own();
    return {trendValue, cycleValue, ModelValue(trendValue, cycleValue)};
  }

  bool Slides(const Serial& s, std::int32_t place, std::int32_t period) noexcept {
    return cycle.Slides(s.cycle, place, period) && trend.Slides(s.trend, place, period);
  }
  void Rebase(Serial& s, PriceSeries at, std::int32_t shift) noexcept {
    trend.Rebase(s.trend, at, shift);
    cycle.Rebase(s.cycle, at, shift);
  }
  void Forget(std::int32_t place) noexcept {
    trend.Forget(place);
    cycle.Forget(place);
  }
  void Reset() noexcept {
    trend.Reset();
    cycle.Reset();
  }

  struct Kept {
    TrendStep::Kept trend;
    CycleStep::Kept cycle;
  };
  static Kept Keep(const Serial& s, const Histories<double>& h) noexcept {
    return {TrendStep::Keep(s.trend, h.trend), CycleStep::Keep(s.cycle, h.cycle)};
  }
  static void PutBack(Serial& s, Histories<double>& h, const Kept& k) noexcept {
    TrendStep::PutBack(s.trend, h.trend, k.trend);
    CycleStep::PutBack(s.cycle, h.cycle, k.cycle);
  }
};

}  // namespace tessaryn
