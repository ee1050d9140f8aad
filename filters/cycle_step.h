// Computed bars of the cycle: a one-pole high-pass with a per-bar coefficient, smoothed.
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
  History4 highPass{};  // CycleHistory: the high-pass value of each computed bar
  double changes[ChunkBars];

  // The coefficients of recent periods, by period modulo the size: a drifting period keeps
  // meeting the same few values, and each costs a sine and a cosine.
  struct Coefficients {
    std::int32_t period = 0;  // 0: none yet
    double alpha = 0.0;
    double gain = 0.0;  // 0.5 * (1 + alpha), the first factor of the input term
  };
  Coefficients recent[16];

  explicit CycleStep(PriceSeries prices) noexcept : prices(prices) {}

  // Requires 1 <= period <= i, so bar i - 1 exists.
  void Record(std::int32_t i, std::int32_t period, int k) noexcept {
    Coefficients& c = recent[period & 15];
    if (c.period != period) {
      c.period = period;
      c.alpha = HighPassAlpha(period);
      c.gain = 0.5 * (1.0 + c.alpha);
    }
    // Always the change from the bar just before, even when that bar was empty.
    const double change = static_cast<double>(prices[i]) - static_cast<double>(prices[i - 1]);
    changes[k] = change;
    highPass.at(k) = c.gain * change + c.alpha * highPass.at(k - 1);
  }

  // The output is chosen by bar index, not by how many bars were computed: bars 1 and 2
  // give the plain change while their high-pass values still fill the history. (Bar 0 is
  // never computed, since the period is at least 1.)
  double Value(int k, std::int32_t i) const noexcept {
    return i < 3 ? changes[k] : highPass.Smoothed(k);
  }

  void Carry(int computed) noexcept { highPass.Carry(computed); }
};

}  // namespace tessaryn
