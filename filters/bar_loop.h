// The forward pass shared by every filter.
#pragma once

#include <cstdint>

#include "filters/filters.h"
#include "filters/round_period.h"

namespace tessaryn {

// Runs `step(i, period)` on every bar whose rounded period is at least 1 and at most the
// bar index, and stores its double result rounded to single precision once. Every other
// bar gets EmptyValue and no history moves. Each period is read once, before the bar's
// output is stored, so the period array may double as the output array.
template <class Step>
inline void BarLoop(PeriodSeries periods, std::int32_t count, ResultSeries out,
                    Step& step) noexcept {
  for (std::int32_t i = 0; i < count; ++i) {
    const std::int32_t period = RoundPeriod(periods[i]);
    if (period < 1 || period > i) {
      out[i] = EmptyValue;
      continue;
    }
    out[i] = static_cast<float>(step(i, period));
  }
}

}  // namespace tessaryn
