#include "filters/bar_loop.h"
#include "filters/cycle_step.h"
#include "filters/filters.h"
#include "filters/trend_step.h"

namespace tessaryn {

namespace {

// Trend and cycle advance on exactly the same bars; their sum is rounded once, on store.
struct ModelStep {
  TrendStep trend;
  CycleStep cycle;

  void Record(std::int32_t i, std::int32_t period, int k) noexcept {
    trend.Record(i, period, k);
    cycle.Record(i, period, k);
  }

  double Value(int k, std::int32_t i) const noexcept {
    return cycle.Value(k, i) + trend.Value(k, i);
  }

  void Carry(int computed) noexcept {
    trend.Carry(computed);
    cycle.Carry(computed);
  }
};

}  // namespace

void Tessaryn(PriceSeries prices, PeriodSeries periods, std::int32_t count,
              ResultSeries out) noexcept {
  ModelStep model{TrendStep(prices, periods, count), CycleStep(prices)};
  BarLoop(periods, count, out, model);
}

}  // namespace tessaryn
