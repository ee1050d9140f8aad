// The three exported entry points: plain C symbols that hand their arguments unchanged to
// the filter routines.
#include "exports/tessaryn.h"
#include "filters/filters.h"

extern "C" {

TESSARYN_API void TESSARYN_CALL ITrend(const float* prices, const float* periods, int32_t count,
                                       float* out) {
  tessaryn::ITrend(prices, periods, count, out);
}

TESSARYN_API void TESSARYN_CALL CyclicalComponent(const float* prices, const float* periods,
                                                  int32_t count, float* out) {
  tessaryn::CyclicalComponent(prices, periods, count, out);
}

TESSARYN_API void TESSARYN_CALL Tessaryn(const float* prices, const float* periods, int32_t count,
                                         float* out) {
  tessaryn::Tessaryn(prices, periods, count, out);
}

}  // extern "C"
