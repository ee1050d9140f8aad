#include "filters/window_sum.h"

namespace tessaryn {

double JumpWindow(PriceSeries prices, double fromSum, std::int32_t fromNewest,
                  std::int32_t fromPeriod, std::int32_t i, std::int32_t period) noexcept {
  const std::int32_t lo = i - period + 1;
  std::int32_t oldLo = fromNewest - fromPeriod + 1;
  std::int32_t oldHi = fromNewest;
  const std::int64_t steps = std::int64_t{i} - oldHi + (lo > oldLo ? lo - oldLo : oldLo - lo);
  if (fromPeriod == 0 || steps >= period) {
    return FreshWindowSum(prices, i, period);
  }
  double sum = fromSum;
  while (oldLo < lo && oldLo <= oldHi) {
    sum -= static_cast<double>(prices[oldLo++]);
  }
  if (oldLo > oldHi) {  // nothing of the old window is left
    sum = 0.0;
    oldLo = lo;
    oldHi = lo - 1;
  }
  while (oldHi < i) {
    sum += static_cast<double>(prices[++oldHi]);
  }
  while (oldLo > lo) {
    sum += static_cast<double>(prices[--oldLo]);
  }
  return sum;
}

}  // namespace tessaryn
