#include "baselines.h"

#include <algorithm>
#include <vector>

#include "tests/plain_filters.h"

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

void FreshSumTrend(const float* prices, const float* periods, std::int32_t count, float* out) {
  const std::vector<float> trend =
      test::RunPlain(test::Plain::Trend, {prices, prices + count}, {periods, periods + count});
  std::copy(trend.begin(), trend.end(), out);
}

}  // namespace tessaryn::bench
