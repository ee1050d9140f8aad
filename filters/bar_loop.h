// The forward pass shared by every filter.
//
//   periods ──RoundPeriod──▶ a chunk of up to 256 bars, each computed or empty
//        │
//        ▼
//   step.Plan(state, chunk) ── every bar computed, and the step can take them together?
//        │ Pace::Uniform or Pace::Drifting             │ Pace::BarByBar
//        ▼                                             ▼
//   AdvanceTogether<V>: 4 bars at a time (AVX2)    bar by bar: Advance(state, i, period)
//   or 2 (Double2), the rest one at a time         for computed bars, EmptyValue for others
//        │                                             │
//        └──────────── each value rounded to single precision once, when stored ◀┘
//
// A step (trend_step.h, cycle_step.h, trend_plus_cycle_step.h) supplies:
//   template <class V> struct State   what it carries from bar to bar, for bars that go V at a
//                                     time; State<double> converts to and from every State<V>;
//   Pace Plan(State<double>&, const Chunk&)
//                                     looks at the chunk before its bars run and says how they
//                                     go (together only where every bar is computed);
//   double Advance(State<double>&, std::int32_t i, std::int32_t period)
//                                     one computed bar, anywhere;
//   template <class V, bool Uniform> V AdvanceTogether(State<V>&, std::int32_t i,
//                                                      const std::int32_t* periods)
//                                     bars i .. i + Width<V> - 1, all computed, in a chunk that
//                                     Plan let go together; Uniform: Plan said Pace::Uniform.
// Both advances are built from the same formulas, written once for every width.
//
// A chunk's periods are all read before any of its outputs is written, so the period array
// may double as the output array.
#pragma once

#include <bit>
#include <cstdint>

#include "filters/filters.h"
#include "filters/four_bars.h"
#include "filters/lanes.h"
#include "filters/round_period.h"

namespace tessaryn {

inline constexpr int ChunkBars = 256;

// How a chunk's bars go through a step, as its Plan decides: bar by bar, or (every bar
// computed) several at a time, each with the period of the bar before (uniform) or with one
// that may be a bar longer or shorter (drifting).
enum class Pace { BarByBar, Uniform, Drifting };

// A run of consecutive bars that the loop hands to a step's Plan.
struct Chunk {
  std::int32_t first;           // its first bar
  int n;                        // how many bars
  const std::int32_t* periods;  // their rounded periods (0 where none is valid)
  bool uniform;                 // one period throughout
  bool full;                    // every bar computed

  static bool Computed(std::int32_t i, std::int32_t period) noexcept {
    return period >= 1 && period <= i;
  }
};

// Whether the n floats all have the bits of the first.
inline bool AllSame(const float* values, int n) noexcept {
  const auto firstBits = std::bit_cast<std::uint32_t>(values[0]);
  std::uint32_t differ = 0;
  for (int k = 1; k < n; ++k) {
    differ |= std::bit_cast<std::uint32_t>(values[k]) ^ firstBits;
  }
  return differ == 0;
}

// A chunk that Plan let go together, Width<V> bars at a time; a remainder one at a time.
template <class V, bool Uniform, class Step>
void MoveTogether(Step& step, typename Step::template State<double>& state, const Chunk& c,
                  ResultSeries out) noexcept {
  const std::int32_t first = c.first;
  const int n = c.n;
  const std::int32_t* const periods = c.periods;
  const auto run = [&]<class Lanes>(auto& lanes, int& k) {
    for (; k + Width<Lanes> <= n; k += Width<Lanes>) {
      StoreRounded(step.template AdvanceTogether<Lanes, Uniform>(lanes, first + k, periods + k),
                   out + first + k);
    }
  };
  int k = 0;
  typename Step::template State<V> lanes(state);
  run.template operator()<V>(lanes, k);
  state = static_cast<typename Step::template State<double>>(lanes);
  run.template operator()<double>(state, k);
}

// The same with the pace Plan chose.
template <class V, class Step>
void MoveTogether(Step& step, typename Step::template State<double>& state, const Chunk& c,
                  ResultSeries out, Pace pace) noexcept {
  if (pace == Pace::Uniform) {
    MoveTogether<V, true>(step, state, c, out);
  } else {
    MoveTogether<V, false>(step, state, c, out);
  }
}

// Bars start .. count - 1 (start is 0 but in tests that reach the largest counts cheaply).
template <class Step>
void BarLoop(PeriodSeries periods, std::int32_t count, ResultSeries out, Step& step,
             std::int32_t start = 0) noexcept {
  std::int32_t rounded[ChunkBars];
  typename Step::template State<double> state{};
  // first + n never passes count, so no index overflows however close count is to 2^31.
  for (std::int32_t first = start, n = 0; first < count; first += n) {
    n = count - first > ChunkBars ? ChunkBars : count - first;
    int computed = 0;
    // The usual chunk has one period throughout: it is rounded once.
    const bool uniform = AllSame(periods + first, n);
    if (uniform) {
      const std::int32_t period = RoundPeriod(periods[first]);
      for (int j = 0; j < n; ++j) {
        rounded[j] = period;
        computed += static_cast<int>(Chunk::Computed(first + j, period));
      }
    } else {
      for (int j = 0; j < n; ++j) {
        rounded[j] = RoundPeriod(periods[first + j]);
        computed += static_cast<int>(Chunk::Computed(first + j, rounded[j]));
      }
    }
    const Chunk chunk{first, n, rounded, uniform, computed == n};
    const Pace pace = step.Plan(state, chunk);
    if (pace != Pace::BarByBar) {
      if (!FourAtATime(step, state, chunk, out, pace)) {
        MoveTogether<Double2>(step, state, chunk, out, pace);
      }
      continue;
    }
    // A copy whose address never escapes, so that it stays in registers.
    typename Step::template State<double> local = state;
    for (int j = 0; j < n; ++j) {
      const std::int32_t i = first + j;
      out[i] = Chunk::Computed(i, rounded[j])
                   ? static_cast<float>(step.Advance(local, i, rounded[j]))
                   : EmptyValue;
    }
    state = local;
  }
}

}  // namespace tessaryn
