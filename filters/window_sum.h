// The window sums of the trend filter, in about constant time per bar.
#pragma once

#include <cstdint>

#include "filters/exact_sum.h"
#include "filters/filters.h"

namespace tessaryn {

// Sum of prices[i - period + 1 .. i] formed afresh, newest price first, in double: the
// definition, whose rounding is fixed by the window alone.
inline double FreshWindowSum(PriceSeries prices, std::int32_t i, std::int32_t period) noexcept {
  double sum = 0.0;
  for (std::int32_t k = i; k > i - period; --k) {
    sum += static_cast<double>(prices[k]);
  }
  return sum;
}

// Gives FreshWindowSum's bits, but carries the sum from bar to bar where that is exact
// (see exact_sum.h): blocks of bars are checked ahead, and a block whose windows could round
// has every sum formed afresh. Real prices pass the check at any level and any period.
class WindowSum {
 public:
  WindowSum(PriceSeries prices, PeriodSeries periods, std::int32_t count) noexcept
      : prices_(prices), periods_(periods), count_(count) {}

  // Bars come in increasing order, 1 <= period <= i.
  double operator()(std::int32_t i, std::int32_t period) noexcept {
    if (i >= blockEnd_) {
      CheckBlock(i);
    }
    if (!blockExact_) {
      return FreshWindowSum(prices_, i, period);
    }
    if (hi_ == i - 1 && lo_ == i - period) {  // same period as the last bar: slide by one
      // The difference is exact too, and keeps one addition on the bar-to-bar chain.
      sum_ += static_cast<double>(prices_[i]) - static_cast<double>(prices_[lo_]);
      ++lo_;
      ++hi_;
      return sum_;
    }
    return Move(i - period + 1, i);
  }

 private:
  static constexpr std::int32_t BlockBars = 4096;

  void CheckBlock(std::int32_t first) noexcept;
  double Move(std::int32_t lo, std::int32_t hi) noexcept;

  PriceSeries prices_;
  PeriodSeries periods_;
  std::int32_t count_;

  // Bars before blockEnd_ are checked; blockExact_ tells how they were found.
  std::int32_t blockEnd_ = 0;
  bool blockExact_ = false;
  // The exact sum of prices[lo_ .. hi_]; lo_ > hi_ when there is none.
  double sum_ = 0.0;
  std::int32_t lo_ = 1;
  std::int32_t hi_ = 0;
  // Exponents of prices[spanLo_ .. spanHi_].
  ExponentSpan span_;
  std::int32_t spanLo_ = 0;
  std::int32_t spanHi_ = -1;
};

}  // namespace tessaryn
