// The forward pass shared by every filter.
#pragma once

#include <cstdint>

#include "filters/filters.h"
#include "filters/history4.h"
#include "filters/round_period.h"

namespace tessaryn {

// Computes every bar whose rounded period is at least 1 and at most the bar index; every
// other bar gets EmptyValue and moves no history.
//
// Chunk by chunk: `step.Record(i, period, k)` takes the chunk's k-th computed bar in order
// (the serial part: running sums, recursive filters); then `step.Value(k, i)` gives its
// output in double, with no dependency between bars, so that loop vectorises; each value is
// rounded to single precision once, when stored; `step.Carry(n)` hands the histories on.
//
// Every period is read before any output at or after its bar is written, so the period
// array may double as the output array.
template <class Step>
inline void BarLoop(PeriodSeries periods, std::int32_t count, ResultSeries out,
                    Step& step) noexcept {
  std::int32_t bars[ChunkBars];
  double values[ChunkBars];
  for (std::int32_t first = 0; first < count; first += ChunkBars) {
    const std::int32_t end = count - first > ChunkBars ? first + ChunkBars : count;
    int computed = 0;
    for (std::int32_t i = first; i < end; ++i) {
      const std::int32_t period = RoundPeriod(periods[i]);
      if (period < 1 || period > i) {
        out[i] = EmptyValue;
        continue;
      }
      step.Record(i, period, computed);
      bars[computed++] = i;
    }
    for (int k = 0; k < computed; ++k) {
      values[k] = step.Value(k, bars[k]);
    }
    if (computed == end - first) {  // no empty bar: a plain contiguous store
      for (int k = 0; k < computed; ++k) {
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
