// Period rounding: the one place a float period becomes a whole number of bars.
#pragma once

#include <bit>
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
//
// Written with integer comparisons on bit patterns and without branches, so that a loop over
// a chunk of periods vectorises (comparisons of floats could raise exception flags, which
// keeps compilers from evaluating them unconditionally).
constexpr std::int32_t RoundPeriod(float period) noexcept {
  constexpr std::int32_t halfBits = 0x3F000000;   // 0.5f
  constexpr std::int32_t limitBits = 0x4F000000;  // 2^31, the first float outside int32
  // For positive floats the signed order of the bit patterns is the order of the values;
  // negative values, -0, NaN and infinities all fall outside these bounds. 0.5 itself
  // rounds to the even 0.
  const auto bits = std::bit_cast<std::int32_t>(period);
  const std::int32_t inRange = -static_cast<std::int32_t>((bits > halfBits) & (bits < limitBits));
  const float kept = std::bit_cast<float>(bits & inRange);  // 0 when out of range
  const auto whole = static_cast<std::int32_t>(kept);       // truncates
  const auto fraction = std::bit_cast<std::int32_t>(kept - static_cast<float>(whole));  // [0, 1)
  const std::int32_t up = static_cast<std::int32_t>(fraction > halfBits) |
                          (static_cast<std::int32_t>(fraction == halfBits) & whole);
  return whole + (up & 1);
}

}  // namespace tessaryn
