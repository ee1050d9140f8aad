// Chunks four bars at a time with AVX2, where the build has that code (64-bit x86 with
// GCC or Clang, see CMakeLists.txt) and the processor runs it.
#pragma once

#include <cstdint>

#include "filters/filters.h"

namespace tessaryn {

struct Chunk;
enum class Pace;

// Independent chains of additions that fresh sums of windows side by side keep going.
inline constexpr int FreshChains = 8;

#if defined(TESSARYN_FOUR_BARS)
// FreshWindowSums<Double4, FreshChains> (window_sum.h): 4 * FreshChains windows from bar i;
// false, touching nothing, where the processor has no AVX2.
bool FreshSumsFourAtATime(PriceSeries prices, std::int32_t i, std::int32_t period,
                          double* sums) noexcept;

// RunChunk<Double4> (bar_loop.h) over the chunk, out its first bar's output; false, touching
// nothing, where the processor has no AVX2. Defined in four_bars_avx2.h, for the steps
// four_bars_avx2.cpp names.
template <class Step>
bool FourAtATime(Step& step, typename Step::template State<double>& state, const Chunk& chunk,
                 ResultSeries out, Pace pace) noexcept;
#else
inline bool FreshSumsFourAtATime(PriceSeries, std::int32_t, std::int32_t, double*) noexcept {
  return false;
}

template <class Step>
bool FourAtATime(Step&, typename Step::template State<double>&, const Chunk&, ResultSeries,
                 Pace) noexcept {
  return false;
}
#endif

}  // namespace tessaryn
