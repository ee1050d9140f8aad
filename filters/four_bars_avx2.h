// The four-bars-at-a-time version of a step's chunks, compiled for AVX2: include it only
// in a file that instantiates FourAtATime (four_bars_avx2.cpp).
#pragma once

#include "filters/bar_loop.h"
#include "filters/lanes_avx2.h"

namespace tessaryn {

// flatten: the step's formulas are compiled into this function, for AVX2.
template <class Step>
__attribute__((target("avx2"), flatten)) void MoveFour(Step& step,
                                                       typename Step::template State<double>& state,
                                                       const Chunk& chunk, ResultSeries out,
                                                       Pace pace) noexcept {
  RunChunk<Double4>(step, state, chunk, out, pace);
}

template <class Step>
bool FourAtATime(Step& step, typename Step::template State<double>& state, const Chunk& chunk,
                 ResultSeries out, Pace pace) noexcept {
  if (!__builtin_cpu_supports("avx2")) {
    return false;
  }
  MoveFour(step, state, chunk, out, pace);
  return true;
}

}  // namespace tessaryn
