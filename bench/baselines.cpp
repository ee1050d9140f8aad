#include "baselines.h"

#include "filters/bar_loop.h"
#include "filters/window_sum.h"

namespace tessaryn::bench {

void StreamAdd(const float* a, const float* b, std::int32_t count, float* out) {
  for (std::int32_t i = 0; i < count; ++i) {
    out[i] = a[i] + b[i];
  }
}

void RunningSumAverage(const float* prices, std::int32_t period, std::int32_t count, float* out) {
  double sum = 0.0;
  for (std::int32_t i = 0; i < count; ++i) {
    sum += static_cast<double>(prices[i]);
    if (i >= period) {
      sum -= static_cast<double>(prices[i - period]);
    }
    out[i] = static_cast<float>(sum / static_cast<double>(period));
  }
}

void BareRecurrence(const float* prices, std::int32_t count, float* out) {
  const double gain = 0.61;
  const double alpha = 0.22;
  double highPass = 0.0;
  for (std::int32_t i = 1; i < count; ++i) {
    const double change = static_cast<double>(prices[i]) - static_cast<double>(prices[i - 1]);
    highPass = gain * change + alpha * highPass;
    out[i] = static_cast<float>(highPass);
  }
}

namespace {

// The trend step with the window summed afresh on every bar, through the same bar loop.
struct FreshTrendStep {
  struct Serial {};

  explicit FreshTrendStep(const float* p) noexcept : prices(p) {}

  const float* prices;
  History4 changes{};
  double sums[ChunkBars];
  double periods[ChunkBars];

  Serial Start() const noexcept { return {}; }
  void Record(Serial&, std::int32_t i, std::int32_t period, int k) noexcept {
    sums[k] = FreshWindowSum(prices, i, period);
    periods[k] = static_cast<double>(period);
    changes.at(k) = static_cast<double>(prices[i]) - static_cast<double>(prices[i - period + 1]);
  }
  void Settle(Serial&, const std::int32_t*, const std::int32_t*, int) const noexcept {}
  double Value(int k) const noexcept { return changes.Smoothed(k) / 2.0 + sums[k] / periods[k]; }
  double EarlyValue(int k, std::int32_t) const noexcept { return Value(k); }
  void Carry(int computed) noexcept { changes.Carry(computed); }
};

}  // namespace

void FreshSumTrend(const float* prices, const float* periods, std::int32_t count, float* out) {
  FreshTrendStep step(prices);
  BarLoop(periods, count, out, step);
}

}  // namespace tessaryn::bench
