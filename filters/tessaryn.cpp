#include "filters/bar_loop.h"
#include "filters/cycle_step.h"
#include "filters/double2.h"
#include "filters/filters.h"
#include "filters/move_four.h"
#include "filters/trend_step.h"
#include "filters/widest_vectors.h"

namespace tessaryn {

namespace {

// Trend and cycle advance on exactly the same bars; their sum is rounded once, on store.
struct ModelStep {
  struct Serial {
    TrendStep::Serial trend;
    CycleStep::Serial cycle;
  };

  TrendStep trend;
  CycleStep cycle;

  Serial Start() const noexcept { return {trend.Start(), cycle.Start()}; }

  void Record(Serial& s, std::int32_t i, std::int32_t period, int k) noexcept {
    trend.Record(s.trend, i, period, k);
    cycle.Record(s.cycle, i, period, k);
  }

  struct Pairs {
    TrendStep::Pairs trend;
    CycleStep::Pairs cycle;
    bool uniform;
  };

  bool Pairable(const Serial& s, std::int32_t first, int n, const std::int32_t* periods,
                bool uniform) noexcept {
    return cycle.Pairable(s.cycle, first, n, periods, uniform) &&
           trend.Pairable(s.trend, first, n, periods, uniform);
  }

  Pairs StartPairs(Serial& s, std::int32_t first, const std::int32_t* periods) noexcept {
    const TrendStep::Pairs trendPairs = trend.StartPairs(s.trend, first, periods);
    return {trendPairs, cycle.StartPairs(s.cycle, first, periods), trendPairs.uniform};
  }

#if defined(TESSARYN_MOVE_FOUR)
  // Four bars at a time where the build and the processor allow (move_four.h).
  bool MoveChunk(Pairs& q, int n, ResultSeries out) noexcept {
    if (!q.uniform || n % 4 != 0) {
      return false;
    }
    TrendStep::Pairs& t = q.trend;
    CycleStep::Pairs& c = q.cycle;
    double changes[4];
    Unpack4(t.before2, t.before, changes);
    CycleFour four{c.gain.Low(), c.alpha, c.last, {}};
    Unpack4(c.before2, c.before, four.highPass);
    if (!SlideModelFourAtATime(t.prices, t.period, t.first, n, out, t.sum, changes, four)) {
      return false;
    }
    Pack4(changes, t.before2, t.before);
    c.last = four.last;
    Pack4(four.highPass, c.before2, c.before);
    return true;
  }
#endif

  template <bool Uniform>
  Double2 Pair(Pairs& q, std::int32_t i, int k) noexcept {
    const Double2 trendValues = trend.template Pair<Uniform>(q.trend, i, k);
    return cycle.template Pair<Uniform>(q.cycle, i, k) + trendValues;
  }

  void EndPairs(Serial& s, const Pairs& q, int n) noexcept {
    trend.EndPairs(s.trend, q.trend, n);
    cycle.EndPairs(s.cycle, q.cycle, n);
  }

  void Settle(Serial& s, const std::int32_t* bars, const std::int32_t* periods,
              int computed) noexcept {
    trend.Settle(s.trend, bars, periods, computed);
    cycle.Settle(s.cycle, bars, periods, computed);
  }

  double Value(int k) const noexcept {
    return cycle.Value(k) + trend.Value(k);
  }
  double EarlyValue(int k, std::int32_t i) const noexcept {
    return cycle.EarlyValue(k, i) + trend.EarlyValue(k, i);
  }

  void Carry(int computed) noexcept {
    trend.Carry(computed);
    cycle.Carry(computed);
  }
};

}  // namespace

TESSARYN_WIDEST_VECTORS void Tessaryn(PriceSeries prices, PeriodSeries periods, std::int32_t count,
                                      ResultSeries out) noexcept {
  ModelStep model{TrendStep(prices), CycleStep(prices)};
  BarLoop(periods, count, out, model);
}

}  // namespace tessaryn
