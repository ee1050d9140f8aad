#include "filters/filter_routine.h"
#include "filters/trend_step.h"

namespace tessaryn {

TESSARYN_FILTER_ROUTINE(ITrend, TrendStep)

}  // namespace tessaryn
