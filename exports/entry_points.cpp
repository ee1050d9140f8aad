// The exported entry points, one per row of the indicator table: plain C symbols that run
// their step over the bars (dispatch.h picks the width).
#include "exports/tessaryn.h"
#include "filters/dispatch.h"
#include "filters/indicators.h"

extern "C" {

#define TESSARYN_INDICATOR(Routine, Ordinal, Step, output, function, Plain)          \
  TESSARYN_API void TESSARYN_CALL Routine(const float* prices, const float* periods, \
                                          int32_t count, float* out) {               \
    tessaryn::RunRoutine<tessaryn::Step>(prices, periods, count, out);               \
  }
#include "filters/indicators.inc"
#undef TESSARYN_INDICATOR

#if !defined(_WIN32)
TESSARYN_API void TessarynIndicators(const float* prices, const float* periods, int32_t count,
                                     float* trend, float* cycle, float* model) {
  static_assert(tessaryn::StreamStep::outputs == 3, "trend, cycle and model");
  tessaryn::RunEveryIndicator<tessaryn::StreamStep>(prices, periods, count, {trend, cycle, model});
}
#endif

}  // extern "C"
