// The steps' chunks four bars at a time, compiled for AVX2 and picked at run time.
#include "filters/four_bars_avx2.h"

#include "filters/cycle_step.h"
#include "filters/trend_plus_cycle_step.h"
#include "filters/trend_step.h"
#include "filters/window_sum.h"

namespace tessaryn {

__attribute__((target("avx2"), flatten)) static void FreshSumsAvx2(PriceSeries prices,
                                                                   std::int32_t i,
                                                                   std::int32_t period,
                                                                   double* sums) noexcept {
  FreshWindowSums<Double4, FreshChains>(prices, i, period, sums);
}

bool FreshSumsFourAtATime(PriceSeries prices, std::int32_t i, std::int32_t period,
                          double* sums) noexcept {
  if (!__builtin_cpu_supports("avx2")) {
    return false;
  }
  FreshSumsAvx2(prices, i, period, sums);
  return true;
}

template bool FourAtATime<TrendStep>(TrendStep&, TrendStep::State<double>&, const Chunk&,
                                     ResultSeries, Pace) noexcept;
template bool FourAtATime<CycleStep>(CycleStep&, CycleStep::State<double>&, const Chunk&,
                                     ResultSeries, Pace) noexcept;
template bool FourAtATime<TrendPlusCycleStep>(TrendPlusCycleStep&,
                                              TrendPlusCycleStep::State<double>&, const Chunk&,
                                              ResultSeries, Pace) noexcept;

}  // namespace tessaryn
