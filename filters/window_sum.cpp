#include "filters/window_sum.h"

#include <cstdlib>

namespace tessaryn {

double MovedRunSum(PriceSeries prices, double kept, std::int32_t start, std::int32_t end,
                   std::int32_t from, std::int32_t to) noexcept {
  const std::int64_t afresh = std::int64_t{to} - from + 1;
  const std::int64_t moved =
      std::abs(std::int64_t{from} - start) + std::abs(std::int64_t{to} - end);
  if (end < start || moved >= afresh) {
    return ExactRunSum(prices, from, to);
  }
  double sum = kept;
  if (from < start) {
    sum += ExactRunSum(prices, from, start - 1);
  } else if (from > start) {
    sum -= ExactRunSum(prices, start, from - 1);
  }
  if (to > end) {
    sum += ExactRunSum(prices, end + 1, to);
  } else if (to < end) {
    sum -= ExactRunSum(prices, to + 1, end);
  }
  return sum;
}

double JumpWindow(PriceSeries prices, double fromSum, std::int32_t fromNewest,
                  std::int32_t fromPeriod, std::int32_t i, std::int32_t period) noexcept {
  const std::int32_t lo = i - period + 1;
  if (fromPeriod == 0) {  // no window carried
    return ExactRunSum(prices, lo, i);
  }
  return MovedRunSum(prices, fromSum, fromNewest - fromPeriod + 1, fromNewest, lo, i);
}

}  // namespace tessaryn
