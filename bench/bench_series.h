// The series the benchmarks run on, and the timing loop that reports bars per second.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

namespace tessaryn::bench {

// A price walk around 5000 with steps of about 0.1%, seeded.
inline const std::vector<float>& Prices(std::int32_t count) {
  static std::vector<float> prices;
  if (static_cast<std::int32_t>(prices.size()) < count) {
    std::mt19937 rng(42);
    std::normal_distribution<float> step(0.0f, 5.0f);
    prices.resize(static_cast<std::size_t>(count));
    float price = 5000.0f;
    for (float& p : prices) {
      price += step(rng);
      p = price;
    }
  }
  return prices;
}

// A constant period, or (-1) one that drifts by one bar every bar between 20 and 200.
inline std::vector<float> Periods(std::int32_t count, std::int64_t period) {
  std::vector<float> periods(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    const std::int32_t phase = i % 360;
    periods[i] = period > 0 ? static_cast<float>(period)
                            : static_cast<float>(20 + (phase < 180 ? phase : 360 - phase));
  }
  return periods;
}

// Runs `run` as the timed body and reports bars per second.
template <class Run>
void TimeBars(benchmark::State& state, std::int32_t count, float* out, Run run) {
  for (auto _ : state) {
    run();
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  state.counters["bars/s"] =
      benchmark::Counter(static_cast<double>(count) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

}  // namespace tessaryn::bench
