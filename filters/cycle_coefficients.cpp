#include "filters/cycle_coefficients.h"

#include "filters/sin_cos.h"

namespace tessaryn {

double HighPassAlpha(std::int32_t period) noexcept {
  const auto [sine, cosine] = SinCos(TwoPi / static_cast<double>(period));
  return (1.0 - sine) / cosine;
}

void CoefficientCache::Fill(HighPassCoefficients& slot, std::int32_t period) noexcept {
  slot.period = period;
  slot.alpha = HighPassAlpha(period);
  slot.gain = 0.5 * (1.0 + slot.alpha);
}

}  // namespace tessaryn
