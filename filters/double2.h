// Two doubles processed together: SSE2 where the target has it, two scalars elsewhere.
// Every operation rounds each lane exactly as the scalar operation would, so code written
// with it gives the same bits as the same code written one bar at a time.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessaryn {

#if defined(__SSE2__)

struct Double2 {
  __m128d v;

  static Double2 Of(double low, double high) noexcept { return {_mm_set_pd(high, low)}; }
  static Double2 Both(double x) noexcept { return {_mm_set1_pd(x)}; }
  static Double2 Both(int x) noexcept { return {_mm_cvtepi32_pd(_mm_set1_epi32(x))}; }
  // Two consecutive floats, widened.
  static Double2 Load(const float* from) noexcept {
    // movq: 8 bytes from any address (the floats need not be 8-byte aligned)
    return {
        _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(from))))};
  }
  void Store(double* to) const noexcept { _mm_storeu_pd(to, v); }
  // Rounded to single precision, into two consecutive floats.
  void StoreRounded(float* to) const noexcept {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to), _mm_castps_si128(_mm_cvtpd_ps(v)));
  }
  double Low() const noexcept { return _mm_cvtsd_f64(v); }
  double High() const noexcept { return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v)); }
  // {a.High(), b.Low()}: the pair one step later in a sequence stored as a, b.
  static Double2 Between(Double2 a, Double2 b) noexcept { return {_mm_shuffle_pd(a.v, b.v, 1)}; }

  friend Double2 operator+(Double2 a, Double2 b) noexcept { return {_mm_add_pd(a.v, b.v)}; }
  friend Double2 operator-(Double2 a, Double2 b) noexcept { return {_mm_sub_pd(a.v, b.v)}; }
  friend Double2 operator*(Double2 a, Double2 b) noexcept { return {_mm_mul_pd(a.v, b.v)}; }
  friend Double2 operator/(Double2 a, Double2 b) noexcept { return {_mm_div_pd(a.v, b.v)}; }
};

#else

struct Double2 {
  double low;
  double high;

  static Double2 Of(double l, double h) noexcept { return {l, h}; }
  static Double2 Both(double x) noexcept { return {x, x}; }
  static Double2 Both(int x) noexcept { return Both(static_cast<double>(x)); }
  static Double2 Load(const float* from) noexcept {
    return {static_cast<double>(from[0]), static_cast<double>(from[1])};
  }
  void Store(double* to) const noexcept {
    to[0] = low;
    to[1] = high;
  }
  void StoreRounded(float* to) const noexcept {
    to[0] = static_cast<float>(low);
    to[1] = static_cast<float>(high);
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
};

#endif

// Smooth4 of two consecutive bars at once: h0 holds the values of bars k and k + 1, before
// the values of bars k - 2 and k - 1, before2 those of bars k - 4 and k - 3.
inline Double2 Smooth4Pair(Double2 h0, Double2 before, Double2 before2) noexcept {
  const Double2 h1 = Double2::Between(before, h0);
  const Double2 h3 = Double2::Between(before2, before);
  const Double2 two = Double2::Both(2.0);
  return (((two * h1 + h0) + two * before) + h3) / Double2::Both(6.0);
}

// The last four values of a two-at-a-time history (`before2` older, then `before`) as an
// array, oldest first, and back: the form the four-at-a-time kernels take them in.
inline void Unpack4(Double2 before2, Double2 before, double four[4]) noexcept {
  before2.Store(four);
  before.Store(four + 2);
}
inline void Pack4(const double four[4], Double2& before2, Double2& before) noexcept {
  before2 = Double2::Of(four[0], four[1]);
  before = Double2::Of(four[2], four[3]);
}

// After n bars (n even, at least 4) went by two at a time: the History4 values of the last
// four bars are in `last` and `before`, which is all the next chunk reads.
template <class History>
void EndHistory(History& history, Double2 last, Double2 before, int n) noexcept {
  history.at(n - 1) = last.High();
  history.at(n - 2) = last.Low();
  history.at(n - 3) = before.High();
}

}  // namespace tessaryn
