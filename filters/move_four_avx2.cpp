#include <immintrin.h>

#include "filters/move_four.h"

namespace tessaryn {

namespace {

#define TESSARYN_AVX2_FUNCTION __attribute__((target("avx2"))) inline

// Four widened floats from four indices (plain loads: faster than a gather instruction on
// the processors measured).
TESSARYN_AVX2_FUNCTION __m256d Gather(PriceSeries prices, __m128i indices) noexcept {
  alignas(16) std::int32_t at[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(at), indices);
  return _mm256_cvtps_pd(_mm_setr_ps(prices[at[0]], prices[at[1]], prices[at[2]], prices[at[3]]));
}

// The same from a run of 16 prices starting at prices[base], indices base .. base + 15:
// two loads and lane permutations instead of eight scalar loads.
TESSARYN_AVX2_FUNCTION __m256d Pick(__m256 low, __m256 high, __m128i at) noexcept {
  const __m256i lanes = _mm256_castsi128_si256(at);
  const __m128 fromLow = _mm256_castps256_ps128(_mm256_permutevar8x32_ps(low, lanes));
  const __m128 fromHigh = _mm256_castps256_ps128(_mm256_permutevar8x32_ps(high, lanes));
  const __m128 upper = _mm_castsi128_ps(_mm_cmpgt_epi32(at, _mm_set1_epi32(7)));
  return _mm256_cvtps_pd(_mm_blendv_ps(fromLow, fromHigh, upper));
}

// Prices at four indices, from the run at `origin` when there is one.
TESSARYN_AVX2_FUNCTION __m256d Read(PriceSeries prices, bool run, __m256 low, __m256 high,
                                    __m128i origin, __m128i at) noexcept {
  return run ? Pick(low, high, _mm_sub_epi32(at, origin)) : Gather(prices, at);
}

// The window sums of four bars from the sum before, bar by bar in bar order.
TESSARYN_AVX2_FUNCTION __m256d RunningSums(__m256d differences, double& sum) noexcept {
  const __m128d low = _mm256_castpd256_pd128(differences);
  const __m128d high = _mm256_extractf128_pd(differences, 1);
  const double sum0 = sum + _mm_cvtsd_f64(low);
  const double sum1 = sum0 + _mm_cvtsd_f64(_mm_unpackhi_pd(low, low));
  const double sum2 = sum1 + _mm_cvtsd_f64(high);
  sum = sum2 + _mm_cvtsd_f64(_mm_unpackhi_pd(high, high));
  return _mm256_set_pd(sum, sum2, sum1, sum0);
}

// Smooth4 of four bars at once: h0 holds their values, before those of the four bars before.
TESSARYN_AVX2_FUNCTION __m256d Smooth4Four(__m256d h0, __m256d before) noexcept {
  const __m256d two = _mm256_set1_pd(2.0);
  const __m256d h2 = _mm256_permute2f128_pd(before, h0, 0x21);
  const __m256d h1 = _mm256_shuffle_pd(h2, h0, 0x5);
  const __m256d h3 = _mm256_shuffle_pd(before, h2, 0x5);
  const __m256d weighted = _mm256_add_pd(
      _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(two, h1), h0), _mm256_mul_pd(two, h2)), h3);
  return _mm256_div_pd(weighted, _mm256_set1_pd(6.0));
}

// Trend values of four bars: Smooth4 of the changes, halved, plus the averages.
TESSARYN_AVX2_FUNCTION __m256d Values(__m256d change, __m256d before, __m256d sums,
                                      __m256d lengths) noexcept {
  return _mm256_add_pd(_mm256_div_pd(Smooth4Four(change, before), _mm256_set1_pd(2.0)),
                       _mm256_div_pd(sums, lengths));
}

// The high-pass recursion over four bars, bar by bar: input + alpha * the value before.
TESSARYN_AVX2_FUNCTION __m256d HighPass(__m256d inputs, double alpha, double& last) noexcept {
  const __m128d low = _mm256_castpd256_pd128(inputs);
  const __m128d high = _mm256_extractf128_pd(inputs, 1);
  const double h0 = _mm_cvtsd_f64(low) + alpha * last;
  const double h1 = _mm_cvtsd_f64(_mm_unpackhi_pd(low, low)) + alpha * h0;
  const double h2 = _mm_cvtsd_f64(high) + alpha * h1;
  last = _mm_cvtsd_f64(_mm_unpackhi_pd(high, high)) + alpha * h2;
  return _mm256_set_pd(last, h2, h1, h0);
}

__attribute__((target("avx2"))) void Slide(PriceSeries prices, std::int32_t period,
                                           std::int32_t first, int n, ResultSeries out, double& sum,
                                           double changes[4]) noexcept {
  const __m256d lengths = _mm256_set1_pd(static_cast<double>(period));
  __m256d before = _mm256_loadu_pd(changes);
  double running = sum;  // a local, so that the chain stays in a register
  for (int k = 0; k < n; k += 4) {
    const std::int32_t i = first + k;
    const __m256d newest = _mm256_cvtps_pd(_mm_loadu_ps(prices + i));
    const __m256d change =
        _mm256_sub_pd(newest, _mm256_cvtps_pd(_mm_loadu_ps(prices + i - period + 1)));
    const __m256d slide = _mm256_sub_pd(newest, _mm256_cvtps_pd(_mm_loadu_ps(prices + i - period)));
    const __m256d sums = RunningSums(slide, running);
    _mm_storeu_ps(out + i, _mm256_cvtpd_ps(Values(change, before, sums, lengths)));
    before = change;
  }
  sum = running;
  _mm256_storeu_pd(changes, before);
}

// Windows that may grow or shrink by one bar from bar to bar, four bars at once.
__attribute__((target("avx2"))) void Drift(PriceSeries prices, const std::int32_t* lengths,
                                           std::int32_t first, int n, ResultSeries out, double& sum,
                                           std::int32_t& period, double changes[4]) noexcept {
  __m256d before = _mm256_loadu_pd(changes);
  double running = sum;
  __m128i previous = _mm_set1_epi32(period);  // lane 3: the length of the bar before
  const __m128i steps = _mm_setr_epi32(0, 1, 2, 3);
  for (int k = 0; k < n; k += 4) {
    const std::int32_t i = first + k;
    const __m128i length = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lengths + k));
    const __m128i last = _mm_alignr_epi8(length, previous, 12);  // lengths of the bars before
    const __m128i bars = _mm_add_epi32(_mm_set1_epi32(i), steps);
    const __m256d newest = _mm256_cvtps_pd(_mm_loadu_ps(prices + i));
    const __m128i oldest = _mm_sub_epi32(_mm_add_epi32(bars, _mm_set1_epi32(1)), length);
    const __m128i leaving = _mm_sub_epi32(bars, last);
    const __m128i growth = _mm_sub_epi32(length, last);
    // The newest price, less the last window's oldest price unless the window grew, less the
    // one after it if it shrank (SlideDifference, window_sum.h).
    const __m128i dropsFirst = _mm_cmpgt_epi32(_mm_set1_epi32(1), growth);
    const __m128i dropsSecond = _mm_cmpgt_epi32(_mm_setzero_si128(), growth);
    // Window starts move on by 0, 1 or 2 prices a bar: the four bars read at most 9 prices
    // from the last window's oldest on, within a run of 16 once that window is 12 long.
    const std::int32_t base = i - _mm_extract_epi32(previous, 3);
    const bool run = i - base >= 12;
    const __m256 low = run ? _mm256_loadu_ps(prices + base) : _mm256_setzero_ps();
    const __m256 high = run ? _mm256_loadu_ps(prices + base + 8) : _mm256_setzero_ps();
    const __m128i origin = _mm_set1_epi32(base);
    const __m256d change = _mm256_sub_pd(newest, Read(prices, run, low, high, origin, oldest));
    __m256d differences = newest;
    if (_mm_movemask_ps(_mm_castsi128_ps(dropsFirst)) != 0) {  // none when every window grew
      differences = _mm256_sub_pd(
          differences, _mm256_and_pd(Read(prices, run, low, high, origin, leaving),
                                     _mm256_castsi256_pd(_mm256_cvtepi32_epi64(dropsFirst))));
    }
    if (_mm_movemask_ps(_mm_castsi128_ps(dropsSecond)) != 0) {
      differences = _mm256_sub_pd(
          differences, _mm256_and_pd(Read(prices, run, low, high, origin,
                                          _mm_add_epi32(leaving, _mm_set1_epi32(1))),
                                     _mm256_castsi256_pd(_mm256_cvtepi32_epi64(dropsSecond))));
    }
    const __m256d sums = RunningSums(differences, running);
    _mm_storeu_ps(out + i,
                  _mm256_cvtpd_ps(Values(change, before, sums, _mm256_cvtepi32_pd(length))));
    before = change;
    previous = length;
  }
  sum = running;
  period = lengths[n - 1];
  _mm256_storeu_pd(changes, before);
}

// Trend plus cycle over sliding windows.
__attribute__((target("avx2"))) void SlideModel(PriceSeries prices, std::int32_t period,
                                                std::int32_t first, int n, ResultSeries out,
                                                double& sum, double changes[4],
                                                CycleFour& cycle) noexcept {
  const __m256d lengths = _mm256_set1_pd(static_cast<double>(period));
  const __m256d gain = _mm256_set1_pd(cycle.gain);
  __m256d before = _mm256_loadu_pd(changes);
  __m256d beforeHighPass = _mm256_loadu_pd(cycle.highPass);
  double running = sum;
  double last = cycle.last;
  for (int k = 0; k < n; k += 4) {
    const std::int32_t i = first + k;
    const __m256d newest = _mm256_cvtps_pd(_mm_loadu_ps(prices + i));
    const __m256d inputs =
        _mm256_mul_pd(gain, _mm256_sub_pd(newest, _mm256_cvtps_pd(_mm_loadu_ps(prices + i - 1))));
    const __m256d highPass = HighPass(inputs, cycle.alpha, last);
    const __m256d change =
        _mm256_sub_pd(newest, _mm256_cvtps_pd(_mm_loadu_ps(prices + i - period + 1)));
    const __m256d slide = _mm256_sub_pd(newest, _mm256_cvtps_pd(_mm_loadu_ps(prices + i - period)));
    const __m256d sums = RunningSums(slide, running);
    const __m256d trend = Values(change, before, sums, lengths);
    const __m256d model = _mm256_add_pd(Smooth4Four(highPass, beforeHighPass), trend);
    _mm_storeu_ps(out + i, _mm256_cvtpd_ps(model));
    before = change;
    beforeHighPass = highPass;
  }
  sum = running;
  cycle.last = last;
  _mm256_storeu_pd(changes, before);
  _mm256_storeu_pd(cycle.highPass, beforeHighPass);
}

}  // namespace

bool SlideModelFourAtATime(PriceSeries prices, std::int32_t period, std::int32_t first, int n,
                           ResultSeries out, double& sum, double changes[4],
                           CycleFour& cycle) noexcept {
  if (!__builtin_cpu_supports("avx2")) {
    return false;
  }
  SlideModel(prices, period, first, n, out, sum, changes, cycle);
  return true;
}

bool MoveFourAtATime(PriceSeries prices, const std::int32_t* lengths, bool uniform,
                     std::int32_t first, int n, ResultSeries out, double& sum, std::int32_t& period,
                     double changes[4]) noexcept {
  if (!__builtin_cpu_supports("avx2")) {
    return false;
  }
  if (uniform) {
    Slide(prices, period, first, n, out, sum, changes);
  } else {
    Drift(prices, lengths, first, n, out, sum, period, changes);
  }
  return true;
}

}  // namespace tessaryn
