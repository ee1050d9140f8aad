// The trend and the whole model on the series users feed them: prices, returns (normal and
// heavy-tailed), a noisy oscillator and a detrended walk, at short and long periods, beside
// the running-sum average and the fresh-sum trend on the same series.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "baselines.h"
#include "bench_series.h"
#include "ratio_reporter.h"
#include "tessaryn.h"

namespace tessaryn::bench {

namespace {

using Routine = void (*)(const float*, const float*, std::int32_t, float*);

constexpr std::int32_t kBars = 1'000'000;
constexpr Kind kKinds[] = {Kind::LogWalk, Kind::NormalReturns, Kind::HeavyReturns, Kind::Oscillator,
                           Kind::DetrendedWalk};
constexpr std::int64_t kPeriods[] = {14, 200, 1750, 5000, -1};

const std::vector<float>& SeriesOf(Kind kind) {
  static std::vector<float> series[std::size(kKinds)];
  std::vector<float>& s = series[static_cast<int>(kind)];
  if (s.empty()) {
    s = Series(kind, kBars);
  }
  return s;
}

std::string Name(const char* routine, Kind kind, std::int64_t period) {
  return std::string(routine) + "/" + KindName(kind) + "/" +
         (period > 0 ? std::to_string(period) : "drifting");
}

void Register(const char* name, Routine routine, Kind kind, std::int64_t period,
              std::int32_t count) {
  benchmark::RegisterBenchmark(Name(name, kind, period).c_str(), [=](benchmark::State& state) {
    const float* prices = SeriesOf(kind).data();
    const std::vector<float> periods = Periods(count, period);
    std::vector<float> out(static_cast<std::size_t>(count));
    TimeBars(state, count, out.data(), [&] { routine(prices, periods.data(), count, out.data()); });
  })->Unit(benchmark::kMillisecond);
}

void RunningSum(const float* prices, const float* periods, std::int32_t count, float* out) {
  RunningSumAverage(prices, static_cast<std::int32_t>(periods[0]), count, out);
}

// Registered before main runs the benchmarks; filter them with --benchmark_filter=/returns/.
const bool kRegistered = [] {
  for (const Kind kind : kKinds) {
    for (const std::int64_t period : kPeriods) {
      Register("ITrend", &::ITrend, kind, period, kBars);
      Register("Tessaryn", &::Tessaryn, kind, period, kBars);
      if (period > 0) {
        Register("RunningSumAverage", &RunningSum, kind, period, kBars);
        // P additions a bar: fewer bars keep it short; the rate is per bar all the same.
        Register("FreshSumTrend", &FreshSumTrend, kind, period, period > 200 ? kBars / 20 : kBars);
      }
    }
  }
  for (const char* routine : {"ITrend", "Tessaryn"}) {
    for (const Kind kind : kKinds) {
      if (kind == Kind::LogWalk) {
        continue;
      }
      for (const std::int64_t period : {1750, 5000}) {
        AddRatio(
            {std::string(routine) + " " + KindName(kind) + " / prices P" + std::to_string(period),
             Name(routine, kind, period), Name(routine, Kind::LogWalk, period), 0.5});
      }
    }
  }
  AddRatio({"ITrend P14 / running-sum average (prices)", Name("ITrend", Kind::LogWalk, 14),
            Name("RunningSumAverage", Kind::LogWalk, 14), 1.0});
  return true;
}();

}  // namespace

}  // namespace tessaryn::bench
