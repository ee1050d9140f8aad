#include "filters/filter_routine.h"
#include "filters/trend_plus_cycle_step.h"

namespace tessaryn {

TESSARYN_FILTER_ROUTINE(Tessaryn, TrendPlusCycleStep)

}  // namespace tessaryn
