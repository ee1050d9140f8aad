// The forward pass shared by every filter, at one width V (lanes.h: double, Double2 or
// Double4); dispatch.h picks the width once per call.
//
//   periods ──RoundPeriod──▶ a chunk of up to 256 bars, each computed or empty
//        │
//        ▼
//   step.PlanChunk(serial, chunk, plan) ──▶ its plan: how its bars go, what Record needs
//        │ Pace::Uniform, Drifting or Jumping         │ Pace::BarByBar
//        │ (every bar computed)                        ▼
//        │                                  Record each computed bar in turn (the serial
//        ▼                                  part: window sums, the high-pass recursion),
//   Slide Width<V> bars at a time, the           EmptyValue for the others; then Value
//   rest one at a time, and Value them           over the recorded inputs, several at a
//   at once                                      time, 32 computed bars at a time
//        │                                      │
//        └────▶ each value rounded to single precision once, when stored ◀───┘
//
// A step (trend_step.h, cycle_step.h, model_step.h) supplies, with V the lanes the bars go in:
//   Serial          what Record and Slide carry from bar to bar, at any width;
//   Histories<V>    what Value carries (the four-bar histories); Histories<double> converts
//                   to and from every Histories<V>;
//   Inputs<V>       what Value takes of each bar: an aggregate of V and nothing else, which
//                   the loop keeps as columns of doubles (RecordedInputs);
//   Plan            a chunk's plan, with its pace;
//   Outputs<V>      a bar's values, as fields of V: its parts' (a composite's) and its own,
//                   Own(); outputs, how many;
//   void PlanChunk<V>(const Serial&, const Chunk&, Plan&)
//                   looks at a chunk before its bars run, and writes its plan over the
//                   last chunk's (which a step may build on: the trend's prefix sums);
//   Inputs<double> Record(Serial&, const Plan&, i, period)
//                   the serial part of one computed bar, anywhere;
//   Inputs<V> Slide<V, Pace>(Serial&, const Plan&, i, periods)
//                   the same for bars i .. i + Width<V> - 1, all computed, in a chunk whose
//                   plan let them go together at that pace;
//   Outputs<V> Value(Histories<V>&, const Inputs<V>&, i)   (static)
//                   the bars' values (i the first of them; bars before 3 come one at a time).
// Data flows one way: the plan from PlanChunk to Record, inputs from Record and Slide to
// Value; Value sees only the histories, so nothing it does depends on when Record ran.
// Each is built from formulas written once for every width.
//
// A chunk's periods are all read before any of its outputs is written, so the period array
// may double as the output array.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

#include "filters/chunk.h"
#include "filters/filters.h"
#include "filters/lanes.h"
#include "filters/round_period.h"

namespace tessaryn {

// A step's state between bars: its serial part and its histories.
template <class Step>
struct StepState {
  typename Step::Serial serial{};
  typename Step::template Histories<double> histories{};
};

// f(o, value) for each of the N values of a step's Outputs, in order, each taken where it
// lies: a bit_cast of wide lanes to an array goes through memory in pieces, and reading a
// value back whole from them stalls.
template <int N, class Outputs, class F>
void EachField(const Outputs& values, F&& f) noexcept {
  static_assert(N >= 1 && N <= 3, "steps have one to three values");
  if constexpr (N == 1) {
    const auto& [a] = values;
    f(0, a);
  } else if constexpr (N == 2) {
    const auto& [a, b] = values;
    f(0, a);
    f(1, b);
  } else {
    const auto& [a, b, c] = values;
    f(0, a);
    f(1, b);
    f(2, c);
  }
}

// Width<V> bars' values rounded, to out[at[0]], out[at[1]], ...
template <class V>
void ScatterRounded(V values, float* out, const int* at) noexcept {
  float rounded[Width<V>];
  StoreRounded(values, rounded);
  for (int lane = 0; lane < Width<V>; ++lane) {
    out[at[lane]] = rounded[lane];
  }
}

// Where a pass stores its values. OwnOutput: the step's own (a routine's output);
// EachOutput: every value of the step, each where its array is given (not null).
struct OwnOutput {
  float* out;

  template <class Outputs>
  void Store(const Outputs& values, int at) const noexcept {
    StoreRounded(values.Own(), out + at);
  }
  // Width<V> bars' values to the places at[0 ..].
  template <class Outputs>
  void Scatter(const Outputs& values, const int* at) const noexcept {
    ScatterRounded(values.Own(), out, at);
  }
  void Empty(int at) const noexcept { out[at] = EmptyValue; }
  OwnOutput From(int k) const noexcept { return {out + k}; }
};

template <int N>
struct EachOutput {
  std::array<float*, N> to;

  template <class Outputs>
  void Store(const Outputs& values, int at) const noexcept {
    EachField<N>(values, [&](int o, const auto& value) {
      if (to[o] != nullptr) {
        StoreRounded(value, to[o] + at);
      }
    });
  }
  template <class Outputs>
  void Scatter(const Outputs& values, const int* at) const noexcept {
    EachField<N>(values, [&](int o, const auto& value) {
      if (to[o] != nullptr) {
        ScatterRounded(value, to[o], at);
      }
    });
  }
  void Empty(int at) const noexcept {
    for (float* o : to) {
      if (o != nullptr) {
        o[at] = EmptyValue;
      }
    }
  }
  EachOutput From(int k) const noexcept {
    EachOutput moved = *this;
    for (float*& o : moved.to) {
      o = o != nullptr ? o + k : nullptr;
    }
    return moved;
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

// A chunk that its plan let go together, Width<V> bars at a time; a remainder one at a time.
template <class V, Pace P, class Step, class Sink>
void MoveTogether(Step& step, StepState<Step>& state, const typename Step::Plan& plan,
                  const Chunk& c, const Sink sink) noexcept {
  const std::int32_t first = c.first;
  const int n = c.n;
  const std::int32_t* const periods = c.periods;
  typename Step::Serial serial = state.serial;  // a copy that stays in registers
  const auto run = [&]<class Lanes>(auto& histories, int& k) {
    for (; k + Width<Lanes> <= n; k += Width<Lanes>) {
      const std::int32_t i = first + k;
      sink.Store(
          Step::Value(histories, step.template Slide<Lanes, P>(serial, plan, i, periods + k), i),
          k);
    }
  };
  int k = 0;
  typename Step::template Histories<V> lanes(state.histories);
  run.template operator()<V>(lanes, k);
  state.histories = typename Step::template Histories<double>(lanes);
  run.template operator()<double>(state.histories, k);
  state.serial = serial;
}

// The inputs a step recorded for up to Bars computed bars, one column of doubles per field,
// so that Width<V> bars' inputs load as they lie.
template <class Step, int Bars>
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
  double columns_[fields][Bars];
};

// Computed bars recorded at a time: the serial part runs over them, then their values. What
// the loop holds for them stays small (it lives on the caller's thread's stack).
inline constexpr int RecordedBars = 16;

// A chunk bar by bar: its computed bars' serial parts in turn, RecordedBars at a time, and
// after each such run their values, Width<V> at a time where they can (never before bar 3).
template <class V, class Step, class Sink>
void RecordThenValue(Step& step, StepState<Step>& state, const typename Step::Plan& plan,
                     const Chunk& c, const Sink sink) noexcept {
  RecordedInputs<Step, RecordedBars> recorded;
  int at[RecordedBars];  // the recorded bars' places in the chunk
  // Copies: the stores into `at` might otherwise be taken to change the chunk.
  const std::int32_t first = c.first;
  const int n = c.n;
  const std::int32_t* const periods = c.periods;
  for (int j = 0; j < n;) {
    int k = 0;
    const int from = j;
    {
      typename Step::Serial local = state.serial;  // a copy that stays in registers
      for (; j < n && k < RecordedBars; ++j) {
        const std::int32_t i = first + j;
        if (Chunk::Computed(i, periods[j])) {
          recorded.Put(k, step.Record(local, plan, i, periods[j]));
          at[k++] = j;
        } else {
          sink.Empty(j);
        }
      }
      state.serial = local;
    }
    int v = 0;
    for (; v < k && first + at[v] < 3; ++v) {  // bars before 3, one at a time
      sink.Store(Step::Value(state.histories, recorded.template Get<double>(v), first + at[v]),
                 at[v]);
    }
    const bool contiguous = k == j - from;  // every bar of the run computed
    typename Step::template Histories<V> lanes(state.histories);
    for (; v + Width<V> <= k; v += Width<V>) {
      const auto values = Step::Value(lanes, recorded.template Get<V>(v), first + at[v]);
      if (contiguous) {
        sink.Store(values, at[v]);
      } else {
        sink.Scatter(values, at + v);
      }
    }
    state.histories = typename Step::template Histories<double>(lanes);
    for (; v < k; ++v) {
      sink.Store(Step::Value(state.histories, recorded.template Get<double>(v), first + at[v]),
                 at[v]);
    }
  }
}

// Bars first .. first + count - 1, from the state the bars before them left (a default
// StepState for a series that starts here): bar first + j has the period periods[j] and its
// values go to the sink at j. The bar index decides which bars are computed (period <= index)
// and where prices are read (through the step). first + count must not pass 2^31 - 1.
template <class V, class Step, class Sink>
void BarLoop(Step& step, StepState<Step>& state, std::int32_t first, std::int32_t count,
             PeriodSeries periods, const Sink& sink) noexcept {
  std::int32_t rounded[ChunkBars];
  typename Step::Plan plan;  // each chunk's, over the one before
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
    step.template PlanChunk<V>(state.serial, chunk, plan);
    const Sink at = sink.From(done);
    if (plan.pace == Pace::Uniform) {
      MoveTogether<V, Pace::Uniform>(step, state, plan, chunk, at);
    } else if (plan.pace == Pace::Drifting) {
      MoveTogether<V, Pace::Drifting>(step, state, plan, chunk, at);
    } else if (plan.pace == Pace::Jumping) {
      MoveTogether<V, Pace::Jumping>(step, state, plan, chunk, at);
    } else {
      RecordThenValue<V>(step, state, plan, chunk, at);
    }
  }
}

}  // namespace tessaryn
