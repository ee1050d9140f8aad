// The library's indicators (indicators.inc) with their steps, as the entry points, the stream
// and the bindings take them.
#pragma once

#include <cstddef>

#include "filters/cycle_step.h"
#include "filters/model_step.h"
#include "filters/trend_step.h"

namespace tessaryn {

// The names of the indicators' values, in the table's order: the values of a stream's bar.
inline constexpr const char* kOutputNames[] = {
#define TESSARYN_INDICATOR(Routine, Ordinal, Step, output, function, Plain) #output,
#include "filters/indicators.inc"
#undef TESSARYN_INDICATOR
};
inline constexpr std::size_t kIndicatorCount = std::size(kOutputNames);

// The stream computes the last indicator, whose step carries the others': its values are
// every indicator's, in the table's order.
using StreamStep = ModelStep;
static_assert(StreamStep::outputs == kIndicatorCount);

}  // namespace tessaryn
