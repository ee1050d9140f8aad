// Streams beside the batch routines: a Push (all three values) and a Revise of the forming
// bar at periods 14, 200 and 10,000, a bar pushed and revised three times, and PushMany over
// 10^6 bars beside the three routines run one after another.
#include <benchmark/benchmark.h>
#include <tessaryn.h>
#include <tessaryn_stream.h>

#include <cstdint>
#include <random>
#include <vector>

#include "bench_series.h"

namespace tessaryn::bench {

namespace {

constexpr std::int32_t kSeries = 1 << 20;  // prices cycled through, longer than any period

// One bar per iteration on a stream bounded by the period (so memory stays flat), after
// `warm` bars pushed: bar(stream, price, period) takes the iteration's price.
template <class Bar>
void EachBar(benchmark::State& state, std::int32_t warm, Bar&& bar) {
  const auto period = static_cast<float>(state.range(0));
  const std::vector<float>& prices = Prices(kSeries);
  Stream stream(static_cast<std::int32_t>(state.range(0)));
  for (std::int32_t k = 0; k < warm; ++k) {
    stream.Push(prices[k], period);
  }
  std::int32_t i = 0;
  for (auto _ : state) {
    bar(stream, prices[i], period);
    i = (i + 1) & (kSeries - 1);
  }
  state.counters["bars/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void StreamPushBench(benchmark::State& state) {
  EachBar(state, 0, [](Stream& stream, float price, float period) {
    benchmark::DoNotOptimize(stream.Push(price, period));
  });
}

// A forming bar revised once per iteration (each tick a new price), after a warm history.
void StreamReviseBench(benchmark::State& state) {
  const std::int32_t warm = static_cast<std::int32_t>(state.range(0)) * 2 + 1000;
  EachBar(state, warm, [](Stream& stream, float price, float period) {
    benchmark::DoNotOptimize(stream.Revise(price, period));
  });
}

// A live bar as it forms: pushed at its first tick, revised at each of three more.
void StreamTicksBench(benchmark::State& state) {
  EachBar(state, 0, [](Stream& stream, float price, float period) {
    benchmark::DoNotOptimize(stream.Push(price * 0.999f, period));
    benchmark::DoNotOptimize(stream.Revise(price * 1.001f, period));
    benchmark::DoNotOptimize(stream.Revise(price * 0.9995f, period));
    benchmark::DoNotOptimize(stream.Revise(price, period));
  });
}

// A Push whose period jumps at random between 5 and the stream's bound on every bar.
void StreamPushJumpingBench(benchmark::State& state) {
  const auto bound = static_cast<std::int32_t>(state.range(0));
  const std::vector<float>& prices = Prices(kSeries);
  std::vector<float> periods(kSeries);
  std::mt19937 rng(5);
  for (float& p : periods) {
    p = static_cast<float>(std::uniform_int_distribution<int>(5, bound)(rng));
  }
  Stream stream(bound);
  std::int32_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(stream.Push(prices[i], periods[i]));
    i = (i + 1) & (kSeries - 1);
  }
  state.counters["bars/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

constexpr std::int32_t kMany = 1'000'000;

void StreamPushManyBench(benchmark::State& state) {
  const std::vector<float>& prices = Prices(kMany);
  const std::vector<float> periods = Periods(kMany, 14);
  std::vector<float> trend(kMany), cycle(kMany), model(kMany);
  TimeBars(state, kMany, model.data(), [&] {
    Stream stream;
    stream.PushMany(prices.data(), periods.data(), kMany, trend.data(), cycle.data(), model.data());
  });
}

void ThreeRoutinesBench(benchmark::State& state) {
  const std::vector<float>& prices = Prices(kMany);
  const std::vector<float> periods = Periods(kMany, 14);
  std::vector<float> trend(kMany), cycle(kMany), model(kMany);
  TimeBars(state, kMany, model.data(), [&] {
    ::ITrend(prices.data(), periods.data(), kMany, trend.data());
    ::CyclicalComponent(prices.data(), periods.data(), kMany, cycle.data());
    ::Tessaryn(prices.data(), periods.data(), kMany, model.data());
  });
}

}  // namespace

BENCHMARK(StreamPushBench)->Name("StreamPush")->Arg(14)->Arg(200)->Arg(10000);
BENCHMARK(StreamPushJumpingBench)->Name("StreamPushJumping")->Arg(200);
BENCHMARK(StreamReviseBench)->Name("StreamRevise")->Arg(14)->Arg(200)->Arg(10000);
BENCHMARK(StreamTicksBench)->Name("StreamBarOfFourTicks")->Arg(14)->Arg(10000);
BENCHMARK(StreamPushManyBench)->Name("StreamPushMany")->Unit(benchmark::kMillisecond);
BENCHMARK(ThreeRoutinesBench)->Name("ThreeRoutines")->Unit(benchmark::kMillisecond);

}  // namespace tessaryn::bench
