// The three filters written the plain way, one bar at a time, every window summed afresh
// newest price first: the reference the library's fast routines must match bit for bit.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "filters/filters.h"
#include "filters/round_period.h"
#include "filters/sin_cos.h"

namespace tessaryn::test {

enum class Plain { Trend, Cycle, Model };

// The three filters' outputs, indexed by Plain.
struct PlainOutputs {
  std::vector<float> of[3];
};

inline PlainOutputs RunPlainAll(const std::vector<float>& prices,
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
  PlainOutputs out{{std::vector<float>(prices.size()), std::vector<float>(prices.size()),
                    std::vector<float>(prices.size())}};
  const auto price = [&](std::int64_t k) { return static_cast<double>(prices[k]); };
  // The cycle's coefficient depends on the period alone: worked out again when it changes.
  std::int32_t alphaPeriod = 0;
  double alpha = 0.0;
  for (std::int64_t i = 0; i < static_cast<std::int64_t>(prices.size()); ++i) {
    const std::int32_t period = RoundPeriod(periods[i]);
    if (period < 1 || period > i) {
      for (std::vector<float>& o : out.of)
        o[i] = EmptyValue;
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
    if (period != alphaPeriod) {
      const auto [sine, cosine] = SinCos(2.0 * Pi / period);
      alpha = (1.0 - sine) / cosine;
      alphaPeriod = period;
    }
    const double change = price(i) - price(i - 1);
    highPass[0] = 0.5 * (1.0 + alpha) * change + alpha * highPass[1];
    const double cycle = i < 3 ? change : smooth(highPass);

    out.of[static_cast<int>(Plain::Trend)][i] = static_cast<float>(trend);
    out.of[static_cast<int>(Plain::Cycle)][i] = static_cast<float>(cycle);
    out.of[static_cast<int>(Plain::Model)][i] = static_cast<float>(cycle + trend);
  }
  return out;
}

inline std::vector<float> RunPlain(Plain which, const std::vector<float>& prices,
                                   const std::vector<float>& periods) {
  return std::move(RunPlainAll(prices, periods).of[static_cast<int>(which)]);
}

// Each indicator's reference, as the indicator table names them.
inline std::vector<float> PlainTrend(const std::vector<float>& prices,
                                     const std::vector<float>& periods) {
  return RunPlain(Plain::Trend, prices, periods);
}
inline std::vector<float> PlainCycle(const std::vector<float>& prices,
                                     const std::vector<float>& periods) {
  return RunPlain(Plain::Cycle, prices, periods);
}
inline std::vector<float> PlainModel(const std::vector<float>& prices,
                                     const std::vector<float>& periods) {
  return RunPlain(Plain::Model, prices, periods);
}

}  // namespace tessaryn::test
