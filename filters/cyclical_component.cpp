#include "filters/bar_loop.h"
#include "filters/cycle_step.h"
#include "filters/filters.h"
#include "filters/widest_vectors.h"

namespace tessaryn {

TESSARYN_WIDEST_VECTORS void CyclicalComponent(PriceSeries prices, PeriodSeries periods,
                                               std::int32_t count, ResultSeries out) noexcept {
  CycleStep cycle(prices);
  BarLoop(periods, count, out, cycle);
}

}  // namespace tessaryn
