#include "filters/bar_loop.h"
#include "filters/filters.h"
#include "filters/trend_step.h"
#include "filters/widest_vectors.h"

namespace tessaryn {

TESSARYN_WIDEST_VECTORS void ITrend(PriceSeries prices, PeriodSeries periods, std::int32_t count,
                                    ResultSeries out) noexcept {
  TrendStep trend(prices);
  BarLoop(periods, count, out, trend);
}

}  // namespace tessaryn
