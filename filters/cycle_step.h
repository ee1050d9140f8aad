// One computed bar of the cycle: a one-pole high-pass with a per-bar coefficient, smoothed.
#pragma once

#include <cstdint>

#include "filters/filters.h"
#include "filters/history4.h"
#include "filters/sin_cos.h"

namespace tessaryn {

inline constexpr double TwoPi = 2.0 * Pi;

// High-pass coefficient (1 - sin x) / cos x for the angle x = 2 Pi / period.
inline double HighPassAlpha(std::int32_t period) noexcept {
  const auto [sine, cosine] = SinCos(TwoPi / static_cast<double>(period));
  return (1.0 - sine) / cosine;
}

struct CycleStep {
  PriceSeries prices;
  History4 highPass{};           // high-pass values of the last four computed bars
  std::int32_t alphaPeriod = 0;  // the period `alpha` was formed for; 0: none yet
  double alpha = 0.0;

  // Requires 1 <= period <= i, so bar i - 1 exists.
  double operator()(std::int32_t i, std::int32_t period) noexcept {
    highPass.Advance();
    if (period != alphaPeriod) {  // the coefficient costs far more than the rest of the bar
      alpha = HighPassAlpha(period);
      alphaPeriod = period;
    }
    // Always the change from the bar just before, even when that bar was empty.
    const double change = static_cast<double>(prices[i]) - static_cast<double>(prices[i - 1]);
    highPass.h0 = 0.5 * (1.0 + alpha) * change + alpha * highPass.h1;
    // The output is chosen by bar index, not by how many bars were computed: bars 1 and 2
    // give the plain change while their high-pass values still fill the history. (Bar 0 is
    // never computed, since the period is at least 1.)
    return i < 3 ? change : Smooth4(highPass);
  }
};

}  // namespace tessaryn
