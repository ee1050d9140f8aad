#include "filters/window_sum.h"

#include "filters/round_period.h"

namespace tessaryn {

void WindowSum::CheckBlock(std::int32_t first) noexcept {
  const std::int32_t end = count_ - first > BlockBars ? first + BlockBars : count_;
  blockEnd_ = end;
  // Every price the block's sums can touch: the carried window and each computed bar's
  // window; and the most terms any partial sum can have on the way.
  const bool carried = blockExact_ && lo_ <= hi_;
  std::int32_t needLo = carried ? lo_ : end;
  std::int64_t terms = carried ? std::int64_t{hi_} - lo_ + 1 : 1;
  for (std::int32_t i = first; i < end; ++i) {
    const std::int32_t period = RoundPeriod(periods_[i]);
    if (period >= 1 && period <= i) {
      needLo = i - period + 1 < needLo ? i - period + 1 : needLo;
      terms = period > terms ? period : terms;
    }
  }
  if (needLo >= end) {  // no bar of the block is computed
    blockExact_ = false;
    return;
  }
  terms += 1;  // a window and one more price, while a sum moves
  // Real data passes on the exponents gathered so far plus the block's new prices; otherwise
  // look at exactly the prices this block needs.
  if (spanLo_ <= needLo && spanHi_ >= needLo - 1) {
    span_.Add(prices_, spanHi_ + 1, end - 1);
    spanHi_ = end - 1;
    if (span_.SumsAreExact(terms)) {
      blockExact_ = true;
      if (!carried) {
        lo_ = 1;
        hi_ = 0;
      }
      return;
    }
  }
  span_ = ExponentSpan{};
  span_.Add(prices_, needLo, end - 1);
  spanLo_ = needLo;
  spanHi_ = end - 1;
  blockExact_ = span_.SumsAreExact(terms);
  if (!blockExact_ || !carried) {
    lo_ = 1;  // no sum is carried into or out of a block that is not exact
    hi_ = 0;
  }
}

// Moves the carried window to prices[lo .. hi], one price at a time while that is cheaper
// than a fresh sum. Every partial sum on the way is a run of at most the larger of the two
// windows' prices, plus one, all inside what CheckBlock examined.
double WindowSum::Move(std::int32_t lo, std::int32_t hi) noexcept {
  const std::int64_t steps =
      lo_ <= hi_ ? (std::int64_t{hi} - hi_) + (lo > lo_ ? lo - lo_ : lo_ - lo) : INT64_MAX;
  if (steps >= std::int64_t{hi} - lo + 1) {
    sum_ = FreshWindowSum(prices_, hi, hi - lo + 1);
    lo_ = lo;
    hi_ = hi;
    return sum_;
  }
  while (lo_ < lo && lo_ <= hi_) {
    sum_ -= static_cast<double>(prices_[lo_++]);
  }
  if (lo_ > hi_) {  // shrank past the end: start again from the new window's first price
    sum_ = 0.0;
    lo_ = lo;
    hi_ = lo - 1;
  }
  while (hi_ < hi) {
    sum_ += static_cast<double>(prices_[++hi_]);
  }
  while (lo_ > lo) {
    sum_ += static_cast<double>(prices_[--lo_]);
  }
  return sum_;
}

}  // namespace tessaryn
