// The routines at periods that move: an adaptive sine, jitter, random periods, a random walk,
// alternation, steps, halvings with empty bars, and windows reaching back to the first bar,
// each beside the same routine at a constant period, on 2 * 10^6 bars of a log-normal walk.
//   tessaryn-bench --benchmark_filter=Moving
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "baselines.h"
#include "bench_series.h"
#include "period_kinds.h"
#include "ratio_reporter.h"
#include "tessaryn.h"

namespace tessaryn::bench {

namespace {

using Routine = void (*)(const float*, const float*, std::int32_t, float*);

constexpr std::int32_t kBars = 2'000'000;

const std::vector<float>& WalkPrices() {
  static const std::vector<float> prices = Series(Kind::LogWalk, kBars);
  return prices;
}

// Windows from the first bar are exact sums only where the whole series allows it: over 10^6
// bars the walk above spans a factor of 2^22, beyond what sums of a million prices keep exact,
// and the definition's newest-first chain is all there is. A price in a trading range keeps
// them exact.
const std::vector<float>& RangePrices() {
  static const std::vector<float> prices = Series(Kind::RangeWalk, kBars);
  return prices;
}

std::string Name(const char* routine, PeriodKind kind) {
  return std::string("Moving/") + routine + "/" + PeriodKindName(kind);
}

void Register(const char* name, Routine routine, PeriodKind kind) {
  // Windows from the first bar hold half the series on average: 10^6 bars, timed once, show
  // whether such a run stays within seconds.
  const bool reachesBack = kind == PeriodKind::BarIndex;
  const std::int32_t count = reachesBack ? 1'000'000 : kBars;
  auto* b = benchmark::RegisterBenchmark(Name(name, kind).c_str(), [=](benchmark::State& state) {
    const float* const prices = (reachesBack ? RangePrices() : WalkPrices()).data();
    const std::vector<float> periods = PeriodSequence(kind, count);
    std::vector<float> out(static_cast<std::size_t>(count));
    TimeBars(state, count, out.data(), [&] { routine(prices, periods.data(), count, out.data()); });
  });
  b->Unit(benchmark::kMillisecond);
  if (reachesBack) {
    b->Iterations(1);
  }
}

// The running-sum average at the first bar's period, the bound at a constant one.
void RunningSum(const float* prices, const float* periods, std::int32_t count, float* out) {
  RunningSumAverage(prices, static_cast<std::int32_t>(periods[0]), count, out);
}

// The one pass over all three indicators, into arrays of its own.
void AllThree(const float* prices, const float* periods, std::int32_t count, float* out) {
  static std::vector<float> trend, cycle;
  trend.resize(static_cast<std::size_t>(count));
  cycle.resize(static_cast<std::size_t>(count));
  TessarynIndicators(prices, periods, count, trend.data(), cycle.data(), out);
}

const bool kRegistered = [] {
#define TESSARYN_INDICATOR(Routine, Ordinal, Step, output, function, Plain)        \
  for (const PeriodKind kind : kPeriodKinds) {                                     \
    Register(#Routine, &::Routine, kind);                                          \
    if (kind != PeriodKind::Constant && kind != PeriodKind::BarIndex) {            \
      AddRatio({std::string(#Routine " ") + PeriodKindName(kind) + " / constant",  \
                Name(#Routine, kind), Name(#Routine, PeriodKind::Constant), 0.5}); \
    }                                                                              \
  }
#include "filters/indicators.inc"
#undef TESSARYN_INDICATOR
  // Beside them: the running-sum average at the constant period, and the trend with every
  // window summed afresh at each kind (not the windows from the first bar: the square of
  // the series).
  Register("RunningSumAverage", &RunningSum, PeriodKind::Constant);
  for (const PeriodKind kind : kPeriodKinds) {
    if (kind != PeriodKind::BarIndex) {
      Register("FreshSumTrend", &FreshSumTrend, kind);
      AddRatio({std::string("ITrend / fresh-sum trend, ") + PeriodKindName(kind),
                Name("ITrend", kind), Name("FreshSumTrend", kind), 0.0});
    }
    Register("TessarynIndicators", &AllThree, kind);
    // "At most 1.25x the time of Tessaryn alone" is at least 0.8 of its speed.
    AddRatio({std::string("all three / Tessaryn, ") + PeriodKindName(kind),
              Name("TessarynIndicators", kind), Name("Tessaryn", kind), 0.8});
  }
  return true;
}();

}  // namespace

}  // namespace tessaryn::bench
