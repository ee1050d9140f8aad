// The series the benchmarks run on, and the timing loop that reports bars per second.
#pragma once

#include <benchmark/benchmark.h>

#include <cmath>
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

// Series as users feed them, 10^6 bars and more, seeded: zero-crossing kinds beside prices.
enum class Kind { LogWalk, NormalReturns, HeavyReturns, Oscillator, DetrendedWalk, RangeWalk };

inline const char* KindName(Kind kind) {
  constexpr const char* names[] = {"prices",     "returns",   "heavy-returns",
                                   "oscillator", "detrended", "range"};
  return names[static_cast<int>(kind)];
}

inline std::vector<float> Series(Kind kind, std::int32_t count) {
  std::mt19937 rng(7 + static_cast<unsigned>(kind));
  std::normal_distribution<double> normal(0.0, 1.0);
  std::student_t_distribution<double> heavy(4.0);
  std::vector<double> x(static_cast<std::size_t>(count));
  double level = 0.0;
  for (std::int32_t i = 0; i < count; ++i) {
    switch (kind) {
      case Kind::LogWalk:  // log-normal walk from 100, 1% steps
        level += 0.01 * normal(rng);
        x[i] = 100.0 * std::exp(level);
        break;
      case Kind::NormalReturns:
        x[i] = 0.01 * normal(rng);
        break;
      case Kind::HeavyReturns:  // Student t with 4 degrees of freedom
        x[i] = 0.008 * heavy(rng);
        break;
      case Kind::Oscillator:  // a 40-bar sine with noise, as indicators of indicators give
        x[i] = std::sin(2.0 * 3.141592653589793 * i / 40.0) + 0.3 * normal(rng);
        break;
      case Kind::DetrendedWalk:
        level += normal(rng);
        x[i] = level;
        break;
      case Kind::RangeWalk:  // 1% steps pulled back toward 100: a price in a trading range
        level = 0.999 * level + 0.01 * normal(rng);
        x[i] = 100.0 * std::exp(level);
        break;
    }
  }
  if (kind == Kind::DetrendedWalk) {  // less its least-squares line
    double sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
    for (std::int32_t i = 0; i < count; ++i) {
      sx += i;
      sy += x[i];
      sxx += static_cast<double>(i) * i;
      sxy += i * x[i];
    }
    const double slope = (count * sxy - sx * sy) / (count * sxx - sx * sx);
    const double intercept = (sy - slope * sx) / count;
    for (std::int32_t i = 0; i < count; ++i) {
      x[i] -= intercept + slope * i;
    }
  }
  return {x.begin(), x.end()};
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
