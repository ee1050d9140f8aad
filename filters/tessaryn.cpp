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

  double operator()(std::int32_t i, std::int32_t period) noexcept {
    const double trendValue = trend(i, period);
    const double cycleValue = cycle(i, period);
    return cycleValue + trendValue;
  }
};

}  // namespace

void Tessaryn(PriceSeries prices, PeriodSeries periods, std::int32_t count,
              ResultSeries out) noexcept {
  ModelStep model{TrendStep{prices}, CycleStep{prices}};
  BarLoop(periods, count, out, model);
}

}  // namespace tessaryn
