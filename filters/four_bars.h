// Chunks four bars at a time with AVX2, where the build has that code (64-bit x86 with
// GCC or Clang, see CMakeLists.txt) and the processor runs it.
#pragma once

#include "filters/filters.h"

namespace tessaryn {

struct Chunk;
enum class Pace;

#if defined(TESSARYN_FOUR_BARS)
// RunChunk<Double4> (bar_loop.h) over the chunk, out its first bar's output; false, touching
// nothing, where the processor has no AVX2. Defined in four_bars_avx2.h, for the steps
// four_bars_avx2.cpp names.
template <class Step>
bool FourAtATime(Step& step, typename Step::template State<double>& state, const Chunk& chunk,
                 ResultSeries out, Pace pace) noexcept;
#else
template <class Step>
bool FourAtATime(Step&, typename Step::template State<double>&, const Chunk&, ResultSeries,
                 Pace) noexcept {
  return false;
}
#endif

}  // namespace tessaryn
