// Period rounding: the one place a float period becomes a whole number of bars.
#pragma once

#include <cstdint>

namespace tessaryn {

// Rounds to the nearest whole number of bars, halves to the even neighbour (2.5 -> 2,
// 3.5 -> 4). Only exact operations are used (truncating conversion, a subtraction that
// Sterbenz's lemma makes exact, comparisons), so the result does not depend on the
// rounding mode the calling thread has set.
//
// Returns 0 for every period that does not round to 1 .. 2^31 - 1: zero, negative, NaN,
// infinite or too large. The bar loop treats 0 as "no valid period": the bar stays empty,
// which also keeps every look-back inside the caller's arrays.
constexpr std::int32_t RoundPeriod(float period) noexcept {
  // 0.5 itself rounds to the even 0; 2^31 is the first float outside int32.
  if (!(period > 0.5f) || !(period < 2147483648.0f)) {
    return 0;
  }
  const auto whole = static_cast<std::int32_t>(period);  // truncates
  const float fraction = period - static_cast<float>(whole);
  if (fraction > 0.5f || (fraction == 0.5f && (whole & 1) != 0)) {
    return whole + 1;
  }
  return whole;
}

}  // namespace tessaryn
