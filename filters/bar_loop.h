// The forward pass shared by every filter.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

#include "filters/double2.h"
#include "filters/filters.h"
#include "filters/history4.h"
#include "filters/round_period.h"

namespace tessaryn {

// Computes every bar whose rounded period is at least 1 and at most the bar index; every
// other bar gets EmptyValue and moves no history.
//
// Chunk by chunk, a step is driven through:
//  - Record(serial, i, period, k) for the chunk's k-th computed bar, in order: the serial
//    part (running sums, recursive filters). `serial` is a local copy of the step's
//    bar-to-bar state (Step::Serial), so it stays in registers;
//  - Settle(serial, bars, periods, computed): a chance to confirm or redo what was recorded;
//  - Value(k): the bar's output in double, with no dependency between bars, so that loop
//    vectorises; EarlyValue(k, i) instead for bars 1 and 2, before any four-bar history;
//  - each value is rounded to single precision once, when stored; then Carry(computed)
//    hands the histories on to the next chunk.
// A chunk whose bars are all computed (the usual case) may instead go two bars at a time
// through one loop that does everything, when the step offers it and agrees:
// Pairable(serial, first, n, periods, uniform), StartPairs, Pair<uniform> for each two bars
// (their values, as a Double2), EndPairs; Pair<true> when StartPairs found one period
// throughout (Pairs::uniform).
//
// A chunk's periods are all read before any of its outputs is written, so the period array
// may double as the output array.
// Whether the n floats all have the bits of the first.
inline bool AllSame(const float* values, int n) noexcept {
  const auto firstBits = std::bit_cast<std::uint32_t>(values[0]);
  std::uint32_t differ = 0;
  for (int k = 1; k < n; ++k) {
    differ |= std::bit_cast<std::uint32_t>(values[k]) ^ firstBits;
  }
  return differ == 0;
}

template <class Step>
inline void BarLoop(PeriodSeries periods, std::int32_t count, ResultSeries out,
                    Step& step) noexcept {
  std::int32_t rounded[ChunkBars];
  std::int32_t bars[ChunkBars];
  double values[ChunkBars];
  typename Step::Serial serial = step.Start();
  for (std::int32_t first = 0; first < count; first += ChunkBars) {
    const int n = count - first > ChunkBars ? ChunkBars : count - first;
    // The usual chunk has one period throughout: it is rounded once.
    const bool uniform = AllSame(periods + first, n);
    int empty = 0;  // bars not computed
    if (uniform) {
      const std::int32_t period = RoundPeriod(periods[first]);
      for (int j = 0; j < n; ++j) {
        rounded[j] = period;
      }
      empty = period < 1 ? n : (period > first ? std::min(period - first, n) : 0);
    } else {
      for (int j = 0; j < n; ++j) {
        const std::int32_t period = RoundPeriod(periods[first + j]);
        rounded[j] = period;
        empty += static_cast<int>((period < 1) | (period > first + j));
      }
    }
    if constexpr (requires { step.Pairable(serial, first, n, rounded, uniform); }) {
      // Every bar computed and an even count: two bars at a time, in one loop, when the step
      // can. (Never the first chunk: bar 0 is never computed.)
      if (empty == 0 && n % 2 == 0 && step.Pairable(serial, first, n, rounded, uniform)) {
        auto pairs = step.StartPairs(serial, first, rounded);
        bool wider = false;  // a step may do the whole chunk with wider vectors
        if constexpr (requires { step.MoveChunk(pairs, n, out); }) {
          wider = step.MoveChunk(pairs, n, out);
        }
        if (wider) {
          // done
        } else if (pairs.uniform) {  // a loop of its own for the one-period case
          for (int k = 0; k < n; k += 2) {
            step.template Pair<true>(pairs, first + k, k).StoreRounded(out + first + k);
          }
        } else {
          for (int k = 0; k < n; k += 2) {
            step.template Pair<false>(pairs, first + k, k).StoreRounded(out + first + k);
          }
        }
        step.EndPairs(serial, pairs, n);
        step.Carry(n);
        continue;
      }
    }
    int computed = 0;
    for (int j = 0; j < n; ++j) {
      const std::int32_t period = rounded[j];
      if (period < 1 || period > first + j) {
        out[first + j] = EmptyValue;
        continue;
      }
      step.Record(serial, first + j, period, computed);
      rounded[computed] = period;  // from here on: by computed bar
      bars[computed++] = first + j;
    }
    step.Settle(serial, bars, rounded, computed);
    for (int k = 0; k < computed; ++k) {
      values[k] = step.Value(k);
    }
    for (int k = 0; k < computed && bars[k] < 3; ++k) {
      values[k] = step.EarlyValue(k, bars[k]);
    }
    if (computed == n) {  // no empty bar: a plain contiguous store
      for (int k = 0; k < n; ++k) {
        out[first + k] = static_cast<float>(values[k]);
      }
    } else {
      for (int k = 0; k < computed; ++k) {
        out[bars[k]] = static_cast<float>(values[k]);
      }
    }
    step.Carry(computed);
  }
}

}  // namespace tessaryn
