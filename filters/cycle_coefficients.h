// The cycle's high-pass coefficients, by period.
#pragma once

#include <array>
#include <cstdint>

#include "filters/filters.h"
#include "filters/sin_cos.h"

namespace tessaryn {

inline constexpr double TwoPi = 2.0 * Pi;

// The high-pass recursion's coefficients for one period.
struct HighPassCoefficients {
  std::int32_t period = 0;  // 0: none
  double alpha = 0.0;       // (1 - sin x) / cos x for the angle x = 2 Pi / period
  double gain = 0.0;        // 0.5 * (1 + alpha), the factor of the price change
};

constexpr HighPassCoefficients CoefficientsOf(std::int32_t period) noexcept {
  const auto [sine, cosine] = SinCos(TwoPi / static_cast<double>(period));
  const double alpha = (1.0 - sine) / cosine;
  return {period, alpha, 0.5 * (1.0 + alpha)};
}

// Periods up to this many bars have their coefficients worked out when the library is
// compiled: a period that moves, or comes back, costs a load; nothing is kept on the caller's
// stack for them and nothing is done at load time.
inline constexpr std::int32_t TabledPeriods = 512;
extern const std::array<HighPassCoefficients, TabledPeriods + 1> kTabledCoefficients;

// The coefficients of a period: from the table, or for longer periods from the few met
// recently, by period modulo the size (each costs a sine and a cosine).
class CoefficientCache {
 public:
  // Requires period >= 1.
  const HighPassCoefficients& For(std::int32_t period) noexcept {
    if (period <= TabledPeriods) {
      return kTabledCoefficients[static_cast<std::size_t>(period)];
    }
    HighPassCoefficients& slot = slots_[period & (Size - 1)];
    if (slot.period != period) {
      Fill(slot, period);
    }
    return slot;
  }

 private:
  static constexpr int Size = 8;
  static void Fill(HighPassCoefficients& slot, std::int32_t period) noexcept;
  HighPassCoefficients slots_[Size];
};

}  // namespace tessaryn
