// Computed bars of the cycle: a one-pole high-pass with a per-bar coefficient, smoothed.
#pragma once

#include <cstdint>

#include "filters/bar_loop.h"
#include "filters/double2.h"
#include "filters/filters.h"
#include "filters/history4.h"

namespace tessaryn {

inline constexpr double TwoPi = 2.0 * Pi;

// High-pass coefficient (1 - sin x) / cos x for the angle x = 2 Pi / period.
double HighPassAlpha(std::int32_t period) noexcept;

// The high-pass recursion's coefficients for one period.
struct HighPassCoefficients {
  std::int32_t period = 0;  // 0: none
  double alpha = 0.0;
  double gain = 0.0;  // 0.5 * (1 + alpha), the first factor of the input term
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

struct CycleStep {
  struct Serial {
    double highPass = 0.0;  // of the last computed bar
    HighPassCoefficients coefficients;
  };

  PriceSeries prices;
  History4 highPass{};   // CycleHistory: the high-pass value of each computed bar
  double early[3] = {};  // the plain changes of bars 1 and 2
  CoefficientCache cache;

  explicit CycleStep(PriceSeries prices) noexcept : prices(prices) {}

  Serial Start() const noexcept { return {}; }

  // Requires 1 <= period <= i, so bar i - 1 exists.
  void Record(Serial& s, std::int32_t i, std::int32_t period, int k) noexcept {
    if (period != s.coefficients.period) {
      s.coefficients = cache.For(period);
    }
    // Always the change from the bar just before, even when that bar was empty.
    const double change = static_cast<double>(prices[i]) - static_cast<double>(prices[i - 1]);
    if (i < 3) {
      early[i] = change;
    }
    s.highPass = s.coefficients.gain * change + s.coefficients.alpha * s.highPass;
    highPass.at(k) = s.highPass;
  }

  // Two bars at a time (see BarLoop), with one period throughout: the input terms and the
  // smoothing go two by two, the recursion itself bar by bar.
  struct Pairs {
    static constexpr bool uniform = true;  // pairs only with one period throughout
    PriceSeries prices;
    Double2 gain;
    double alpha;
    double last;      // high-pass value of the bar before
    Double2 before;   // high-pass values of the two bars before
    Double2 before2;  // and of the two before those
  };

  bool Pairable(const Serial&, std::int32_t first, int, const std::int32_t*,
                bool uniform) const noexcept {
    return uniform && first >= 3;
  }

  Pairs StartPairs(Serial& s, std::int32_t, const std::int32_t* periods) noexcept {
    const std::int32_t period = periods[0];
    if (period != s.coefficients.period) {
      s.coefficients = cache.For(period);
    }
    return {prices,
            Double2::Both(s.coefficients.gain),
            s.coefficients.alpha,
            s.highPass,
            Double2::Of(highPass.at(-2), highPass.at(-1)),
            Double2::Of(0.0, highPass.at(-3))};
  }

  template <bool>
  Double2 Pair(Pairs& q, std::int32_t i, int) noexcept {
    const Double2 input = q.gain * (Double2::Load(q.prices + i) - Double2::Load(q.prices + i - 1));
    const double first = input.Low() + q.alpha * q.last;
    q.last = input.High() + q.alpha * first;
    const Double2 values = Double2::Of(first, q.last);
    const Double2 smoothed = Smooth4Pair(values, q.before, q.before2);
    q.before2 = q.before;
    q.before = values;
    return smoothed;
  }

  void EndPairs(Serial& s, const Pairs& q, int n) noexcept {
    s.highPass = q.last;
    EndHistory(highPass, q.before, q.before2, n);
  }

  void Settle(Serial&, const std::int32_t*, const std::int32_t*, int) const noexcept {}

  double Value(int k) const noexcept { return highPass.Smoothed(k); }

  // The output is chosen by bar index, not by how many bars were computed: bars 1 and 2
  // give the plain change while their high-pass values still fill the history. (Bar 0 is
  // never computed, since the period is at least 1.)
  double EarlyValue(int, std::int32_t i) const noexcept { return early[i]; }

  void Carry(int computed) noexcept { highPass.Carry(computed); }
};

}  // namespace tessaryn
