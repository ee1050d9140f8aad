// Sine and cosine that give the same bits on every platform.
//
// Platform maths libraries disagree in the last bit of sin and cos (for the 10^6 angles
// 2 Pi / P, P = 1 .. 10^6, one common Windows runtime differs from glibc on 468 values), and
// the cycle coefficient is formed from both. These are evaluated in double-double
// arithmetic (about 100 correct bits) and rounded once, so each result is the correctly
// rounded sine or cosine: a single well-defined value whatever the library underneath.
//
// constexpr, so that the coefficients of the usual periods are worked out when the library is
// compiled (cycle_coefficients.h), by the same operations, correctly rounded each.
#pragma once

#include "filters/double_double.h"

namespace tessaryn {

struct SineCosine {
  double sine;
  double cosine;
};

namespace sin_cos_detail {

// pi/2 in three parts. The first two have at most 50 significant bits, so k * part is exact
// for the quadrant numbers k = 0 .. 5 used here, and x - k * part1 is exact by Sterbenz's
// lemma; the reduced angle is then good to about 2^-150 absolute, which keeps ~100 correct
// bits even for the angles closest to a multiple of pi/2 (2 Pi / 4 is 4.5E-11 from pi/2).
inline constexpr double HalfPi1 = 0x1.921fb54442d18p+0;
inline constexpr double HalfPi2 = 0x1.1a62633145c00p-54;
inline constexpr double HalfPi3 = 0x1.b839a252049c1p-104;
inline constexpr double TwoOverPi = 0x1.45f306dc9c883p-1;

// 1/n! as double-doubles for n = 0 .. 29; enough terms that the truncated series is below
// 2^-100 of the result for |r| <= pi/4.
inline constexpr DoubleDouble InverseFactorial[] = {
    {0x1p+0, 0.0},
    {0x1p+0, 0.0},
    {0x1p-1, 0.0},
    {0x1.5555555555555p-3, 0x1.5555555555555p-57},
    {0x1.5555555555555p-5, 0x1.5555555555555p-59},
    {0x1.1111111111111p-7, 0x1.1111111111111p-63},
    {0x1.6c16c16c16c17p-10, -0x1.f49f49f49f49fp-65},
    {0x1.a01a01a01a01ap-13, 0x1.a01a01a01a01ap-73},
    {0x1.a01a01a01a01ap-16, 0x1.a01a01a01a01ap-76},
    {0x1.71de3a556c734p-19, -0x1.c154f8ddc6c00p-73},
    {0x1.27e4fb7789f5cp-22, 0x1.cbbc05b4fa99ap-76},
    {0x1.ae64567f544e4p-26, -0x1.c062e06d1f209p-80},
    {0x1.1eed8eff8d898p-29, -0x1.2aec959e14c06p-83},
    {0x1.6124613a86d09p-33, 0x1.f28e0cc748ebep-87},
    {0x1.93974a8c07c9dp-37, 0x1.05d6f8a2efd1fp-92},
    {0x1.ae7f3e733b81fp-41, 0x1.1d8656b0ee8cbp-97},
    {0x1.ae7f3e733b81fp-45, 0x1.1d8656b0ee8cbp-101},
    {0x1.952c77030ad4ap-49, 0x1.ac981465ddc6cp-103},
    {0x1.6827863b97d97p-53, 0x1.eec01221a8b0bp-107},
    {0x1.2f49b46814157p-57, 0x1.2650f61dbdcb4p-112},
    {0x1.e542ba4020225p-62, 0x1.ea72b4afe3c2fp-120},
    {0x1.71b8ef6dcf572p-66, -0x1.d043ae40c4647p-120},
    {0x1.0ce396db7f853p-70, -0x1.aebcdbd20331cp-124},
    {0x1.761b41316381ap-75, -0x1.3423c7d91404fp-130},
    {0x1.f2cf01972f578p-80, -0x1.9ada5fcc1ab14p-135},
    {0x1.3f3ccdd165fa9p-84, -0x1.58ddadf344487p-139},
    {0x1.88e85fc6a4e5ap-89, -0x1.71c37ebd16540p-143},
    {0x1.d1ab1c2dccea3p-94, 0x1.054d0c78aea14p-149},
    {0x1.0a18a2635085dp-98, 0x1.b9e2e28e1aa54p-153},
    {0x1.259f98b4358adp-103, 0x1.eaf8c39dd9bc5p-157},
};
inline constexpr int LastTerm = 29;
// From this term on, r^n / n! is below 2^-53 of the result, so the tail is summed in plain
// doubles without losing any of the ~100 bits.
inline constexpr int FirstDoubleTerm = 17;

// Sum of (-1)^j r^(2j) / (first + 2j)! for the terms up to LastTerm, by Horner's rule in r^2.
constexpr DoubleDouble Series(DoubleDouble r2, int first) noexcept {
  int n = (LastTerm - first) / 2 * 2 + first;
  double tail = InverseFactorial[n].hi;
  for (n -= 2; n >= FirstDoubleTerm; n -= 2) {
    tail = InverseFactorial[n].hi - tail * r2.hi;
  }
  DoubleDouble sum{tail, 0.0};
  for (; n >= first; n -= 2) {
    const DoubleDouble product = Multiply(sum, r2);
    sum = Add(InverseFactorial[n], {-product.hi, -product.lo});
  }
  return sum;
}

constexpr DoubleDouble Negate(DoubleDouble a) noexcept {
  return {-a.hi, -a.lo};
}

}  // namespace sin_cos_detail

// Valid for 0 <= x <= 8, which covers every angle the filters form (2 Pi / P, P >= 1).
constexpr SineCosine SinCos(double x) noexcept {
  using namespace sin_cos_detail;
  // Quadrant k and the reduced angle r = x - k pi/2, |r| <= pi/4 (+ rounding).
  const int k = static_cast<int>(x * TwoOverPi + 0.5);
  const double kd = static_cast<double>(k);
  const DoubleDouble head = TwoSum(x - kd * HalfPi1, -kd * HalfPi2);
  const DoubleDouble r = QuickTwoSum(head.hi, head.lo - kd * HalfPi3);

  const DoubleDouble r2 = Multiply(r, r);
  const DoubleDouble sinR = Multiply(r, Series(r2, 1));
  const DoubleDouble cosR = Series(r2, 0);

  DoubleDouble sine;
  DoubleDouble cosine;
  switch (k & 3) {
    case 0:
      sine = sinR;
      cosine = cosR;
      break;
    case 1:
      sine = cosR;
      cosine = Negate(sinR);
      break;
    case 2:
      sine = Negate(sinR);
      cosine = Negate(cosR);
      break;
    default:
      sine = Negate(cosR);
      cosine = sinR;
      break;
  }
  // Normalised pairs: hi + lo rounds once, to the nearest double of the pair's value.
  return {sine.hi + sine.lo, cosine.hi + cosine.lo};
}

}  // namespace tessaryn
