#include "filters/cycle_step.h"
#include "filters/filter_routine.h"

namespace tessaryn {

TESSARYN_FILTER_ROUTINE(CyclicalComponent, CycleStep)

}  // namespace tessaryn
