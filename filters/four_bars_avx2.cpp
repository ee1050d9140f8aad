// The steps' chunks four bars at a time, compiled for AVX2 and picked at run time.
#include "filters/four_bars_avx2.h"

#include "filters/cycle_step.h"
#include "filters/trend_plus_cycle_step.h"
#include "filters/trend_step.h"

namespace tessaryn {

template bool FourAtATime<TrendStep>(TrendStep&, TrendStep::State<double>&, const Chunk&,
                                     ResultSeries, Pace) noexcept;
template bool FourAtATime<CycleStep>(CycleStep&, CycleStep::State<double>&, const Chunk&,
                                     ResultSeries, Pace) noexcept;
template bool FourAtATime<TrendPlusCycleStep>(TrendPlusCycleStep&,
                                              TrendPlusCycleStep::State<double>&, const Chunk&,
                                              ResultSeries, Pace) noexcept;

}  // namespace tessaryn
