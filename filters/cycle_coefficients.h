// The cycle's high-pass coefficients, by period.
#pragma once

#include <cstdint>

#include "filters/filters.h"

namespace tessaryn {

inline constexpr double TwoPi = 2.0 * Pi;

// High-pass coefficient (1 - sin x) / cos x for the angle x = 2 Pi / period.
double HighPassAlpha(std::int32_t period) noexcept;

// The high-pass recursion's coefficients for one period.
struct HighPassCoefficients {
  std::int32_t period = 0;  // 0: none
  double alpha = 0.0;
  double gain = 0.0;  // 0.5 * (1 + alpha), the factor of the price change
};

// The coefficients of the periods met recently, by period modulo the size: a drifting
// period keeps meeting the same few values, and each costs a sine and a cosine.
class CoefficientCache {
 public:
  const HighPassCoefficients& For(std::int32_t period) noexcept {
    HighPassCoefficients& slot = slots_[period & (Size - 1)];
    if (slot.period != period) {
      Fill(slot, period);
    }
    return slot;
  }

 private:
  static constexpr int Size = 256;
  static void Fill(HighPassCoefficients& slot, std::int32_t period) noexcept;
  HighPassCoefficients slots_[Size];
};

}  // namespace tessaryn
