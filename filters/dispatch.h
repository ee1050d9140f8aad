// The one place a call picks how many bars go together: every step's bar loop is compiled
// here for each width the build has (four bars with AVX2 where it targets 64-bit x86 or
// either Windows DLL, two, one), from the same source, and a call runs the widest that the
// processor runs.
//
// Only the vector width differs: every operation rounds each lane as the scalar operation
// would, so every width gives the same bits. Two bars go in the target's own pair (lanes.h:
// SSE2, NEON on 64-bit ARM, where every processor has it, SIMD128 in WebAssembly); a
// WebAssembly module cannot ask its runtime, so it is built with and without SIMD128 and the
// JavaScript loader picks the module. Nothing runs at load time and nothing is
// imported (the processor is asked directly), so a DLL without a C runtime takes it as it is.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "filters/bar_loop.h"
#include "filters/filters.h"
#include "filters/lanes.h"

// The four-bar width is sound only where the compiler builds the whole bar loop into
// BarLoopFour (flatten): a Double4 passed to or from a function compiled for another target
// travels differently on each side of the call. Unoptimised builds inline nothing, so they
// do without it.
#if defined(TESSARYN_FOUR_BARS) && defined(__OPTIMIZE__)
#define TESSARYN_FOUR_BAR_LOOP 1
#include "filters/lanes_avx2.h"
#endif

namespace tessaryn {

// Bars that go through a step together.
enum class Lanes : std::int32_t { One = 1, Two = 2, Four = 4 };

// The widest lanes this build has code for and the processor runs (checked once and kept: the
// answer never changes while the process runs, and every width gives the same bits, so what
// a call keeps here changes no result), and no wider than LimitLanes allows.
Lanes ChosenLanes() noexcept;
// The widest lanes the build and the processor allow, whatever LimitLanes says.
Lanes WidestLanes() noexcept;
// For the tests: every call from now on runs at most `most` lanes, so that one build on one
// machine runs every width it has. Lanes::Four lifts the limit. No shipped DLL exports it
// (the tests' TessarynLanes.dll does).
void LimitLanes(Lanes most) noexcept;

// The bar loop of dispatch.h's widths; flatten: the step's formulas are compiled into each.
#if defined(TESSARYN_FOUR_BAR_LOOP)
template <class Step, class Sink>
__attribute__((target("avx2"), flatten)) void BarLoopFour(Step& step, StepState<Step>& state,
                                                          std::int32_t first, std::int32_t count,
                                                          PeriodSeries periods,
                                                          const Sink& sink) noexcept {
  BarLoop<Double4>(step, state, first, count, periods, sink);
}
#endif

template <class Step, class Sink>
__attribute__((flatten)) void BarLoopTwo(Step& step, StepState<Step>& state, std::int32_t first,
                                         std::int32_t count, PeriodSeries periods,
                                         const Sink& sink) noexcept {
  BarLoop<Double2>(step, state, first, count, periods, sink);
}

template <class Step, class Sink>
__attribute__((flatten)) void BarLoopOne(Step& step, StepState<Step>& state, std::int32_t first,
                                         std::int32_t count, PeriodSeries periods,
                                         const Sink& sink) noexcept {
  BarLoop<double>(step, state, first, count, periods, sink);
}

// The bar loop (bar_loop.h) at the chosen width.
template <class Step, class Sink>
void RunBars(Step& step, StepState<Step>& state, std::int32_t first, std::int32_t count,
             PeriodSeries periods, const Sink& sink) noexcept {
  switch (ChosenLanes()) {
#if defined(TESSARYN_FOUR_BAR_LOOP)
    case Lanes::Four:
      BarLoopFour(step, state, first, count, periods, sink);
      return;
#endif
    case Lanes::One:
      BarLoopOne(step, state, first, count, periods, sink);
      return;
    default:
      BarLoopTwo(step, state, first, count, periods, sink);
      return;
  }
}

// An indicator's routine: its step run over a whole series, bars 0 .. count - 1, its own value
// stored. A step with several values stores its own through the sink of them all, the one
// compiled pass that RunEveryIndicator runs too: two copies of a formula may order an
// addition's operands differently, which shows in the sign of a NaN.
template <class Step>
void RunRoutine(PriceSeries prices, PeriodSeries periods, std::int32_t count,
                ResultSeries out) noexcept {
  Step step(prices);
  StepState<Step> state;
  if constexpr (Step::outputs > 1) {
    std::array<float*, Step::outputs> outs{};
    outs.back() = out;
    RunBars(step, state, 0, count, periods, EachOutput<Step::outputs>{outs});
  } else {
    RunBars(step, state, 0, count, periods, OwnOutput{out});
  }
}

// Every indicator in one pass: the step that carries the others' values (the last of the
// table), each value stored where its array is given (not null).
template <class Step>
void RunEveryIndicator(PriceSeries prices, PeriodSeries periods, std::int32_t count,
                       const std::array<float*, Step::outputs>& outs) noexcept {
  if (std::all_of(outs.begin(), outs.end(), [](const float* o) { return o == nullptr; })) {
    return;
  }
  Step step(prices);
  StepState<Step> state;
  RunBars(step, state, 0, count, periods, EachOutput<Step::outputs>{outs});
}

}  // namespace tessaryn
