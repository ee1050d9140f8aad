// Bars per second of the three routines and of the baselines that bound them.
//   tessaryn-bench [Google Benchmark flags, e.g. --benchmark_filter=ITrend]
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "baselines.h"
#include "bench_series.h"
#include "ratio_reporter.h"
#include "tessaryn.h"

namespace tessaryn::bench {

namespace {

template <void (*Routine)(const float*, const float*, std::int32_t, float*)>
void Filter(benchmark::State& state) {
  const auto count = static_cast<std::int32_t>(state.range(0));
  const std::vector<float>& prices = Prices(count);
  const std::vector<float> periods = Periods(count, state.range(1));
  std::vector<float> out(static_cast<std::size_t>(count));
  TimeBars(state, count, out.data(),
           [&] { Routine(prices.data(), periods.data(), count, out.data()); });
}

void StreamAddBench(benchmark::State& state) {
  const auto count = static_cast<std::int32_t>(state.range(0));
  const std::vector<float> other = Periods(count, 14);
  std::vector<float> out(static_cast<std::size_t>(count));
  const float* prices = Prices(count).data();
  TimeBars(state, count, out.data(), [&] { StreamAdd(prices, other.data(), count, out.data()); });
}

void RunningSumAverageBench(benchmark::State& state) {
  const auto count = static_cast<std::int32_t>(state.range(0));
  const auto period = static_cast<std::int32_t>(state.range(1));
  std::vector<float> out(static_cast<std::size_t>(count));
  const float* prices = Prices(count).data();
  TimeBars(state, count, out.data(), [&] { RunningSumAverage(prices, period, count, out.data()); });
}

void BareRecurrenceBench(benchmark::State& state) {
  const auto count = static_cast<std::int32_t>(state.range(0));
  std::vector<float> out(static_cast<std::size_t>(count));
  const float* prices = Prices(count).data();
  TimeBars(state, count, out.data(), [&] { BareRecurrence(prices, count, out.data()); });
}

void FilterArguments(benchmark::internal::Benchmark* b) {
  for (const std::int64_t count : {1'000'000, 10'000'000}) {
    for (const std::int64_t period : {14, 50, 200, -1}) {
      b->Args({count, period});
    }
  }
  b->ArgNames({"", ""})->Unit(benchmark::kMillisecond);
}

}  // namespace

// Every indicator of the table.
#define TESSARYN_INDICATOR(Routine, Ordinal, Step, output, function, Plain) \
  BENCHMARK(Filter<::Routine>)->Name(#Routine)->Apply(FilterArguments);
#include "filters/indicators.inc"
#undef TESSARYN_INDICATOR
BENCHMARK(Filter<FreshSumTrend>)
    ->Name("FreshSumTrend")
    ->Args({1'000'000, 14})
    ->Args({1'000'000, 200})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(StreamAddBench)->Name("StreamAdd")->Arg(1'000'000)->Arg(10'000'000);
BENCHMARK(RunningSumAverageBench)
    ->Name("RunningSumAverage")
    ->Args({1'000'000, 14})
    ->Args({10'000'000, 14});
BENCHMARK(BareRecurrenceBench)->Name("BareRecurrence")->Arg(1'000'000)->Arg(10'000'000);

}  // namespace tessaryn::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  tessaryn::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
