// Four bars together with AVX2 (see lanes.h). Only for code compiled for AVX2: every
// function here carries the target, and callers reach it through four_bars_avx2.h.
#pragma once

#include <immintrin.h>

#include "filters/history4.h"
#include "filters/lanes.h"

namespace tessaryn {

#define TESSARYN_AVX2_INLINE __attribute__((target("avx2"))) inline

struct Double4 {
  static constexpr int width = 4;
  __m256d v;

  TESSARYN_AVX2_INLINE static Double4 Both(double x) noexcept { return {_mm256_set1_pd(x)}; }
  TESSARYN_AVX2_INLINE static Double4 Widen(const float* from) noexcept {
    return {_mm256_cvtps_pd(_mm_loadu_ps(from))};
  }
  TESSARYN_AVX2_INLINE static Double4 FromLanes(const double* lanes) noexcept {
    return {_mm256_loadu_pd(lanes)};
  }
  template <class F>
  TESSARYN_AVX2_INLINE static Double4 EachLane(F&& f) noexcept {
    return {_mm256_set_pd(f(3), f(2), f(1), f(0))};
  }
  TESSARYN_AVX2_INLINE friend void StoreRounded(Double4 value, float* to) noexcept {
    // Stored as four floats, not through the intrinsic (whose type may alias anything), so
    // that the compiler knows the store leaves the steps' own pointers and state alone. The
    // outputs need only a float's alignment: the alignment is lowered on the vector type
    // once it is one (given with vector_size, clang kept 16 and stored with vmovapd).
    using Floats = float __attribute__((vector_size(16)));
    typedef Floats UnalignedFloats __attribute__((aligned(4)));
    static_assert(alignof(UnalignedFloats) == alignof(float));
    *reinterpret_cast<UnalignedFloats*>(to) = reinterpret_cast<Floats>(_mm256_cvtpd_ps(value.v));
  }

  TESSARYN_AVX2_INLINE friend Double4 operator+(Double4 a, Double4 b) noexcept {
    return {_mm256_add_pd(a.v, b.v)};
  }
  TESSARYN_AVX2_INLINE friend Double4 operator-(Double4 a, Double4 b) noexcept {
    return {_mm256_sub_pd(a.v, b.v)};
  }
  TESSARYN_AVX2_INLINE friend Double4 operator*(Double4 a, Double4 b) noexcept {
    return {_mm256_mul_pd(a.v, b.v)};
  }
  TESSARYN_AVX2_INLINE friend Double4 operator/(Double4 a, Double4 b) noexcept {
    return {_mm256_div_pd(a.v, b.v)};
  }
  TESSARYN_AVX2_INLINE friend Double4 operator+(Double4 a, double b) noexcept {
    return a + Both(b);
  }
  TESSARYN_AVX2_INLINE friend Double4 operator-(Double4 a, double b) noexcept {
    return a - Both(b);
  }
  TESSARYN_AVX2_INLINE friend Double4 operator*(double a, Double4 b) noexcept {
    return Both(a) * b;
  }
  TESSARYN_AVX2_INLINE friend Double4 operator/(Double4 a, double b) noexcept {
    return a / Both(b);
  }

  template <class F>
  TESSARYN_AVX2_INLINE friend Double4 Serially(Double4 value, F&& f) noexcept {
    const __m128d low = _mm256_castpd256_pd128(value.v);
    const __m128d high = _mm256_extractf128_pd(value.v, 1);
    const double lane0 = f(_mm_cvtsd_f64(low));
    const double lane1 = f(_mm_cvtsd_f64(_mm_unpackhi_pd(low, low)));
    const double lane2 = f(_mm_cvtsd_f64(high));
    const double lane3 = f(_mm_cvtsd_f64(_mm_unpackhi_pd(high, high)));
    return {_mm256_set_pd(lane3, lane2, lane1, lane0)};
  }
};

// Four bars at a time: `before` holds the four bars before, oldest in lane 0.
template <>
struct History4<Double4> {
  Double4 before;

  TESSARYN_AVX2_INLINE explicit History4(const History4<double>& h) noexcept
      : before{_mm256_set_pd(h.h1, h.h2, h.h3, 0.0)} {}
  TESSARYN_AVX2_INLINE explicit operator History4<double>() const noexcept {
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, before.v);
    return {lanes[3], lanes[2], lanes[1]};
  }

  TESSARYN_AVX2_INLINE Double4 Advance(Double4 h0) noexcept {
    const __m256d h2 = _mm256_permute2f128_pd(before.v, h0.v, 0x21);
    const __m256d h1 = _mm256_shuffle_pd(h2, h0.v, 0x5);
    const __m256d h3 = _mm256_shuffle_pd(before.v, h2, 0x5);
    const Double4 smoothed = Smooth4(h0, Double4{h1}, Double4{h2}, Double4{h3});
    before = h0;
    return smoothed;
  }
};

}  // namespace tessaryn
