// Computed bars of the trend line: window average plus half the smoothed window change.
#pragma once

#include <cstdint>

#include "filters/filters.h"
#include "filters/history4.h"
#include "filters/window_sum.h"

namespace tessaryn {

struct TrendStep {
  PriceSeries prices;
  WindowSum window;
  History4 changes{};  // TrendHistory: the window change of each computed bar
  double sums[ChunkBars];
  double periods[ChunkBars];

  TrendStep(PriceSeries prices, PeriodSeries periodSeries, std::int32_t count) noexcept
      : prices(prices), window(prices, periodSeries, count) {}

  // Requires 1 <= period <= i, so the window i - period + 1 .. i starts at bar 1 or later.
  void Record(std::int32_t i, std::int32_t period, int k) noexcept {
    sums[k] = window(i, period);
    periods[k] = static_cast<double>(period);
    changes.at(k) = static_cast<double>(prices[i]) - static_cast<double>(prices[i - period + 1]);
  }

  double Value(int k, std::int32_t) const noexcept {
    const double average = sums[k] / periods[k];
    return changes.Smoothed(k) / 2.0 + average;
  }

  void Carry(int computed) noexcept { changes.Carry(computed); }
};

}  // namespace tessaryn
