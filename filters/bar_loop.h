// The forward pass shared by every filter.
//
//   periods ──RoundPeriod──▶ a chunk of up to 256 bars, each computed or empty
//        │
//        ▼
//   step.Plan(state, chunk): how do its bars go?
//        │ Pace::Uniform or Pace::Drifting            │ Pace::BarByBar
//        │ (every bar computed)                        ▼
//        │                                  Record each computed bar in turn (the serial
//        ▼                                  part: window sums, the high-pass recursion),
//   Slide 4 bars at a time (AVX2) or 2          EmptyValue for the others; then Value
//   (Double2), the rest one at a time,          over the recorded inputs, several at a time
//   and Value them at once                      │
//        │                                      │
//        └────▶ each value rounded to single precision once, when stored ◀───┘
//
// A step (trend_step.h, cycle_step.h, trend_plus_cycle_step.h) supplies:
//   State<V>    what it carries from bar to bar, with V the lanes (lanes.h) the bars go in;
//               State<double> converts to and from every State<V>;
//   Inputs<V>   what its value takes of each bar: an aggregate of V and nothing else, which
//               the loop keeps as columns of doubles (RecordedInputs);
//   Pace Plan(State<double>&, const Chunk&)
//               looks at a chunk before its bars run and says how they go;
//   Inputs<double> Record(State<double>&, i, period)
//               the serial part of one computed bar, anywhere;
//   Inputs<V> Slide<V, Uniform>(State<V>&, i, periods)
//               the same for bars i .. i + Width<V> - 1, all computed, in a chunk Plan let go
//               together (Uniform: it said Pace::Uniform);
//   V Value(State<V>&, const Inputs<V>&, i)
//               the bars' values (i the first of them; bars before 3 come one at a time).
// Each is built from formulas written once for every width.
//
// A chunk's periods are all read before any of its outputs is written, so the period array
// may double as the output array.
#pragma once

#include <algorithm>
#include <array>
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
      const std::int32_t i = first + k;
      StoreRounded(step.Value(lanes, step.template Slide<Lanes, Uniform>(lanes, i, periods + k), i),
                   out + k);
    }
  };
  int k = 0;
  typename Step::template State<V> lanes(state);
  run.template operator()<V>(lanes, k);
  state = static_cast<typename Step::template State<double>>(lanes);
  run.template operator()<double>(state, k);
}

// The inputs a step recorded for the computed bars of a chunk, one column of doubles per
// field, so that Width<V> bars' inputs load as they lie.
template <class Step>
class RecordedInputs {
 public:
  template <class V>
  using Inputs = typename Step::template Inputs<V>;
  static constexpr int fields = sizeof(Inputs<double>) / sizeof(double);

  void Put(int k, const Inputs<double>& inputs) noexcept {
    const auto values = std::bit_cast<std::array<double, fields>>(inputs);
    for (int f = 0; f < fields; ++f) {
      columns_[f][k] = values[f];
    }
  }

  template <class V>
  Inputs<V> Get(int k) const noexcept {
    static_assert(sizeof(Inputs<V>) == fields * sizeof(V), "Inputs<V> holds only V fields");
    std::array<V, fields> lanes;
    for (int f = 0; f < fields; ++f) {
      lanes[f] = FromLanes<V>(columns_[f] + k);
    }
    return std::bit_cast<Inputs<V>>(lanes);
  }

 private:
  double columns_[fields][ChunkBars];
};

// The values of `computed` recorded bars, Width<V> at a time from the k-th on: bar
// first + at[k], stored at out[at[k]]; none of them before bar 3.
template <class V, class Step>
void ValuesTogether(const Step& step, typename Step::template State<double>& state,
                    const RecordedInputs<Step>& recorded, std::int32_t first, const int* at, int k,
                    int computed, bool contiguous, ResultSeries out) noexcept {
  typename Step::template State<V> lanes(state);
  for (; k + Width<V> <= computed; k += Width<V>) {
    const V values = step.Value(lanes, recorded.template Get<V>(k), first + at[k]);
    if (contiguous) {
      StoreRounded(values, out + at[k]);
    } else {
      float rounded[Width<V>];
      StoreRounded(values, rounded);
      for (int j = 0; j < Width<V>; ++j) {
        out[at[k + j]] = rounded[j];
      }
    }
  }
  state = static_cast<typename Step::template State<double>>(lanes);
  for (; k < computed; ++k) {
    StoreRounded(step.Value(state, recorded.template Get<double>(k), first + at[k]), out + at[k]);
  }
}

// A chunk at the pace Plan chose, with bars Width<V> at a time where they go together.
template <class V, class Step>
void RunChunk(Step& step, typename Step::template State<double>& state, const Chunk& chunk,
              ResultSeries out, Pace pace) noexcept {
  if (pace == Pace::Uniform) {
    MoveTogether<V, true>(step, state, chunk, out);
    return;
  }
  if (pace == Pace::Drifting) {
    MoveTogether<V, false>(step, state, chunk, out);
    return;
  }
  const std::int32_t first = chunk.first;
  const int n = chunk.n;
  const std::int32_t* const rounded = chunk.periods;
  // The serial part bar by bar, on a copy that stays in registers; then the values.
  RecordedInputs<Step> recorded;
  int at[ChunkBars];  // the computed bars' places in the chunk
  int k = 0;
  {
    typename Step::template State<double> local = state;
    for (int j = 0; j < n; ++j) {
      const std::int32_t i = first + j;
      if (Chunk::Computed(i, rounded[j])) {
        recorded.Put(k, step.Record(local, i, rounded[j]));
        at[k++] = j;
      } else {
        out[j] = EmptyValue;
      }
    }
    state = local;
  }
  int early = 0;  // bars before 3, one at a time
  for (; early < k && first + at[early] < 3; ++early) {
    StoreRounded(step.Value(state, recorded.template Get<double>(early), first + at[early]),
                 out + at[early]);
  }
  ValuesTogether<V>(step, state, recorded, first, at, early, k, k == n, out);
}

// Bars first .. first + count - 1, from the state the bars before them left (a default
// State for a series that starts here): bar first + j has the period periods[j] and its value
// goes to out[j]. The bar index decides which bars are computed (period <= index) and where
// prices are read (through the step). first + count must not pass 2^31 - 1.
template <class Step>
void BarLoop(Step& step, typename Step::template State<double>& state, std::int32_t first,
             std::int32_t count, PeriodSeries periods, ResultSeries out) noexcept {
  std::int32_t rounded[ChunkBars];
  // done + n never passes count, so no index overflows however close the end is to 2^31.
  for (std::int32_t done = 0, n = 0; done < count; done += n) {
    n = count - done > ChunkBars ? ChunkBars : count - done;
    const std::int32_t bar = first + done;
    const float* const chunkPeriods = periods + done;
    int computed = 0;
    // The usual chunk has one period throughout: it is rounded once.
    const bool uniform = AllSame(chunkPeriods, n);
    if (uniform) {
      const std::int32_t period = RoundPeriod(chunkPeriods[0]);
      for (int j = 0; j < n; ++j) {
        rounded[j] = period;
      }
      // Bars from the period's index on are computed.
      const std::int64_t before = std::int64_t{period} - bar;  // bars of the chunk before that
      computed = period < 1 ? 0 : n - static_cast<int>(std::clamp<std::int64_t>(before, 0, n));
    } else {
      for (int j = 0; j < n; ++j) {
        rounded[j] = RoundPeriod(chunkPeriods[j]);
        computed += static_cast<int>(Chunk::Computed(bar + j, rounded[j]));
      }
    }
    const Chunk chunk{bar, n, rounded, uniform, computed == n};
    const Pace pace = step.Plan(state, chunk);
    if (!FourAtATime(step, state, chunk, out + done, pace)) {
      RunChunk<Double2>(step, state, chunk, out + done, pace);
    }
  }
}

// A whole series, bars 0 .. count - 1.
template <class Step>
void BarLoop(Step& step, PeriodSeries periods, std::int32_t count, ResultSeries out) noexcept {
  typename Step::template State<double> state{};
  BarLoop(step, state, 0, count, periods, out);
}

}  // namespace tessaryn
