// One computed bar of the trend line: window average plus half the smoothed window change.
#pragma once

#include <cstdint>

#include "filters/filters.h"
#include "filters/history4.h"

namespace tessaryn {

struct TrendStep {
  PriceSeries prices;
  History4 changes{};  // window changes of the last four computed bars

  // Requires 1 <= period <= i, so the window i - period + 1 .. i starts at bar 1 or later.
  double operator()(std::int32_t i, std::int32_t period) noexcept {
    changes.Advance();
    // Summed afresh, newest price first, so the rounding of the sum is fixed by the window
    // alone and a period that changes from bar to bar needs no special care.
    double sum = 0.0;
    for (std::int32_t k = i; k > i - period; --k) {
      sum += static_cast<double>(prices[k]);
    }
    const double average = sum / static_cast<double>(period);
    const std::int32_t oldest = i - period + 1;
    changes.h0 = static_cast<double>(prices[i]) - static_cast<double>(prices[oldest]);
    const double smoothed = Smooth4(changes);
    return smoothed / 2.0 + average;
  }
};

}  // namespace tessaryn
