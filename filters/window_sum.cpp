#include "filters/window_sum.h"

namespace tessaryn {

double JumpWindow(PriceSeries prices, double fromSum, std::int32_t fromNewest,
                  std::int32_t fromPeriod, std::int32_t i, std::int32_t period) noexcept {
  const std::int32_t lo = i - period + 1;
  if (fromPeriod == 0) {
    return ExactRunSum(prices, lo, i);
  }
  const std::int32_t oldLo = fromNewest - fromPeriod + 1;
  const std::int32_t oldHi = fromNewest;
  const std::int64_t steps = std::int64_t{i} - oldHi + (lo > oldLo ? lo - oldLo : oldLo - lo);
  if (steps >= period || lo > oldHi) {
    return ExactRunSum(prices, lo, i);
  }
  double sum = fromSum;
  if (lo > oldLo) {  // the old window less its oldest prices, then the new ones
    sum -= ExactRunSum(prices, oldLo, lo - 1);
    return sum + ExactRunSum(prices, oldHi + 1, i);
  }
  sum += ExactRunSum(prices, oldHi + 1, i);         // the old window and the new prices, then the
  return sum + ExactRunSum(prices, lo, oldLo - 1);  // older ones
}

}  // namespace tessaryn
