// Bars that go through a filter together: one (a plain double), two (Double2: SSE2, NEON or
// WebAssembly's SIMD128 where the target has one of them, two scalars elsewhere) or four
// (Double4, lanes_avx2.h). Every operation
// rounds each lane exactly as the scalar operation would, so a formula written once over
// these types gives the same bits at every width.
//
// What each width provides, beside + - * / (also with a double on either side):
//   Width<V>                 bars per value;
//   Both<V>(x)               x in every lane;
//   Widen<V>(from)           that many consecutive floats, widened;
//   FromLanes<V>(lanes)      that many doubles from an array, lane 0 the oldest bar;
//   EachLane<V>(f)           f(0), f(1), ... in the lanes (f has no side effects);
//   StoreRounded(v, to)      rounded to single precision, into consecutive floats;
//   Serially(v, f)           f applied to each lane in bar order (for recursions and running
//                            sums, whose every step needs the one before).
#pragma once

#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__aarch64__) && defined(__ARM_NEON)
#include <arm_neon.h>
#elif defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace tessaryn {

template <class V>
inline constexpr int Width = V::width;
template <>
inline constexpr int Width<double> = 1;

template <class V>
V Both(double value) noexcept {
  if constexpr (std::is_same_v<V, double>) {
    return value;
  } else {
    return V::Both(value);
  }
}

template <class V>
V Widen(const float* from) noexcept {
  if constexpr (std::is_same_v<V, double>) {
    return static_cast<double>(*from);
  } else {
    return V::Widen(from);
  }
}

template <class V>
V FromLanes(const double* lanes) noexcept {
  if constexpr (std::is_same_v<V, double>) {
    return *lanes;
  } else {
    return V::FromLanes(lanes);
  }
}

template <class V, class F>
V EachLane(F&& f) noexcept {
  if constexpr (std::is_same_v<V, double>) {
    return f(0);
  } else {
    return V::EachLane(f);
  }
}

inline void StoreRounded(double value, float* to) noexcept {
  *to = static_cast<float>(value);
}

template <class F>
double Serially(double value, F&& f) noexcept {
  return f(value);
}

#if defined(__SSE2__)

struct Double2 {
  static constexpr int width = 2;
  __m128d v;

  static Double2 Of(double low, double high) noexcept { return {_mm_set_pd(high, low)}; }
  static Double2 Widen(const float* from) noexcept {
    // movq: 8 bytes from any address (the floats need not be 8-byte aligned)
    return {
        _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(from))))};
  }
  static Double2 FromLanes(const double* lanes) noexcept { return {_mm_loadu_pd(lanes)}; }
  template <class F>
  static Double2 EachLane(F&& f) noexcept {
    return Of(f(0), f(1));
  }
  friend void StoreRounded(Double2 value, float* to) noexcept {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to), _mm_castps_si128(_mm_cvtpd_ps(value.v)));
  }
  double Low() const noexcept { return _mm_cvtsd_f64(v); }
  double High() const noexcept { return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v)); }
  // {a.High(), b.Low()}: the pair one bar later in a sequence stored as a, b.
  static Double2 Between(Double2 a, Double2 b) noexcept { return {_mm_shuffle_pd(a.v, b.v, 1)}; }

  friend Double2 operator+(Double2 a, Double2 b) noexcept { return {_mm_add_pd(a.v, b.v)}; }
  friend Double2 operator-(Double2 a, Double2 b) noexcept { return {_mm_sub_pd(a.v, b.v)}; }
  friend Double2 operator*(Double2 a, Double2 b) noexcept { return {_mm_mul_pd(a.v, b.v)}; }
  friend Double2 operator/(Double2 a, Double2 b) noexcept { return {_mm_div_pd(a.v, b.v)}; }
  static Double2 Both(double x) noexcept { return {_mm_set1_pd(x)}; }
};

#elif defined(__aarch64__) && defined(__ARM_NEON)

// AArch64's Advanced SIMD: each instruction below is the IEEE operation on each lane, in the
// rounding mode the thread has, as the scalar one is. The flags keep the compiler from
// fusing a product into a sum (-ffp-contract=off); the intrinsics are plain vector
// arithmetic to it, so they are bound by that too.
struct Double2 {
  static constexpr int width = 2;
  float64x2_t v;

  static Double2 Of(double low, double high) noexcept {
    return {vcombine_f64(vdup_n_f64(low), vdup_n_f64(high))};
  }
  static Double2 Widen(const float* from) noexcept { return {vcvt_f64_f32(vld1_f32(from))}; }
  static Double2 FromLanes(const double* lanes) noexcept { return {vld1q_f64(lanes)}; }
  template <class F>
  static Double2 EachLane(F&& f) noexcept {
    return Of(f(0), f(1));
  }
  friend void StoreRounded(Double2 value, float* to) noexcept {
    vst1_f32(to, vcvt_f32_f64(value.v));
  }
  double Low() const noexcept { return vgetq_lane_f64(v, 0); }
  double High() const noexcept { return vgetq_lane_f64(v, 1); }
  // {a.High(), b.Low()}: the pair one bar later in a sequence stored as a, b.
  static Double2 Between(Double2 a, Double2 b) noexcept { return {vextq_f64(a.v, b.v, 1)}; }

  friend Double2 operator+(Double2 a, Double2 b) noexcept { return {vaddq_f64(a.v, b.v)}; }
  friend Double2 operator-(Double2 a, Double2 b) noexcept { return {vsubq_f64(a.v, b.v)}; }
  friend Double2 operator*(Double2 a, Double2 b) noexcept { return {vmulq_f64(a.v, b.v)}; }
  friend Double2 operator/(Double2 a, Double2 b) noexcept { return {vdivq_f64(a.v, b.v)}; }
  static Double2 Both(double x) noexcept { return {vdupq_n_f64(x)}; }
};

#elif defined(__wasm_simd128__)

// WebAssembly's SIMD128 (built with -msimd128): f64x2 arithmetic is IEEE round-to-nearest on
// each lane, as f64 is, and the conversions round as the scalar ones do. A runtime without
// SIMD128 loads the module built without it (the package's loader picks).
struct Double2 {
  static constexpr int width = 2;
  v128_t v;

  static Double2 Of(double low, double high) noexcept { return {wasm_f64x2_make(low, high)}; }
  static Double2 Widen(const float* from) noexcept {
    return {wasm_f64x2_promote_low_f32x4(wasm_v128_load64_zero(from))};
  }
  static Double2 FromLanes(const double* lanes) noexcept { return {wasm_v128_load(lanes)}; }
  template <class F>
  static Double2 EachLane(F&& f) noexcept {
    return Of(f(0), f(1));
  }
  friend void StoreRounded(Double2 value, float* to) noexcept {
    wasm_v128_store64_lane(to, wasm_f32x4_demote_f64x2_zero(value.v), 0);
  }
  double Low() const noexcept { return wasm_f64x2_extract_lane(v, 0); }
  double High() const noexcept { return wasm_f64x2_extract_lane(v, 1); }
  // {a.High(), b.Low()}: the pair one bar later in a sequence stored as a, b.
  static Double2 Between(Double2 a, Double2 b) noexcept {
    return {wasm_i64x2_shuffle(a.v, b.v, 1, 2)};
  }

  friend Double2 operator+(Double2 a, Double2 b) noexcept { return {wasm_f64x2_add(a.v, b.v)}; }
  friend Double2 operator-(Double2 a, Double2 b) noexcept { return {wasm_f64x2_sub(a.v, b.v)}; }
  friend Double2 operator*(Double2 a, Double2 b) noexcept { return {wasm_f64x2_mul(a.v, b.v)}; }
  friend Double2 operator/(Double2 a, Double2 b) noexcept { return {wasm_f64x2_div(a.v, b.v)}; }
  static Double2 Both(double x) noexcept { return {wasm_f64x2_splat(x)}; }
};

#else

struct Double2 {
  static constexpr int width = 2;
  double low;
  double high;

  static Double2 Of(double l, double h) noexcept { return {l, h}; }
  static Double2 Widen(const float* from) noexcept {
    return {static_cast<double>(from[0]), static_cast<double>(from[1])};
  }
  static Double2 FromLanes(const double* lanes) noexcept { return {lanes[0], lanes[1]}; }
  template <class F>
  static Double2 EachLane(F&& f) noexcept {
    return {f(0), f(1)};
  }
  friend void StoreRounded(Double2 value, float* to) noexcept {
    to[0] = static_cast<float>(value.low);
    to[1] = static_cast<float>(value.high);
  }
  double Low() const noexcept { return low; }
  double High() const noexcept { return high; }
  static Double2 Between(Double2 a, Double2 b) noexcept { return {a.high, b.low}; }

  friend Double2 operator+(Double2 a, Double2 b) noexcept {
    return {a.low + b.low, a.high + b.high};
  }
  friend Double2 operator-(Double2 a, Double2 b) noexcept {
    return {a.low - b.low, a.high - b.high};
  }
  friend Double2 operator*(Double2 a, Double2 b) noexcept {
    return {a.low * b.low, a.high * b.high};
  }
  friend Double2 operator/(Double2 a, Double2 b) noexcept {
    return {a.low / b.low, a.high / b.high};
  }
  static Double2 Both(double x) noexcept { return {x, x}; }
};

#endif

inline Double2 operator+(Double2 a, double b) noexcept {
  return a + Double2::Both(b);
}
inline Double2 operator-(Double2 a, double b) noexcept {
  return a - Double2::Both(b);
}
inline Double2 operator*(double a, Double2 b) noexcept {
  return Double2::Both(a) * b;
}
inline Double2 operator/(Double2 a, double b) noexcept {
  return a / Double2::Both(b);
}

template <class F>
Double2 Serially(Double2 value, F&& f) noexcept {
  const double low = f(value.Low());
  return Double2::Of(low, f(value.High()));
}

}  // namespace tessaryn
