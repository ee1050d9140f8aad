// The three filters written the plain way, one bar at a time, every window summed afresh
// newest price first: the reference the library's fast routines must match bit for bit.
#pragma once

#include <cstdint>
#include <vector>

#include "filters/filters.h"
#include "filters/round_period.h"
#include "filters/sin_cos.h"

namespace tessaryn::test {

enum class Plain { Trend, Cycle, Model };

inline std::vector<float> RunPlain(Plain which, const std::vector<float>& prices,
                                   const std::vector<float>& periods) {
  const auto smooth = [](const double h[4]) {
    return (((2.0 * h[1] + h[0]) + 2.0 * h[2]) + h[3]) / 6.0;
  };
  const auto advance = [](double h[4]) {
    h[3] = h[2];
    h[2] = h[1];
    h[1] = h[0];
  };
  double changes[4] = {};
  double highPass[4] = {};
  std::vector<float> out(prices.size());
  const auto price = [&](std::int64_t k) { return static_cast<double>(prices[k]); };
  for (std::int64_t i = 0; i < static_cast<std::int64_t>(prices.size()); ++i) {
    const std::int32_t period = RoundPeriod(periods[i]);
    if (period < 1 || period > i) {
      out[i] = EmptyValue;
      continue;
    }
    advance(changes);
    double sum = 0.0;
    for (std::int64_t k = i; k > i - period; --k) {
      sum += price(k);
    }
    changes[0] = price(i) - price(i - period + 1);
    const double trend = smooth(changes) / 2.0 + sum / period;

    advance(highPass);
    const auto [sine, cosine] = SinCos(2.0 * Pi / period);
    const double alpha = (1.0 - sine) / cosine;
    const double change = price(i) - price(i - 1);
    highPass[0] = 0.5 * (1.0 + alpha) * change + alpha * highPass[1];
    const double cycle = i < 3 ? change : smooth(highPass);

    const double value = which == Plain::Trend   ? trend
                         : which == Plain::Cycle ? cycle
                                                 : cycle + trend;
    out[i] = static_cast<float>(value);
  }
  return out;
}

}  // namespace tessaryn::test
