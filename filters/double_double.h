// Unevaluated sums hi + lo of two doubles, about 106 significant bits, built only from
// correctly rounded double operations so that every build gets the same bits.
#pragma once

namespace tessaryn {

struct DoubleDouble {
  double hi = 0.0;
  double lo = 0.0;
};

// a + b exactly, for any a and b.
constexpr DoubleDouble TwoSum(double a, double b) noexcept {
  const double s = a + b;
  const double bb = s - a;
  const double err = (a - (s - bb)) + (b - bb);
  return {s, err};
}

// a + b exactly, when |a| >= |b| or a is 0.
constexpr DoubleDouble QuickTwoSum(double a, double b) noexcept {
  const double s = a + b;
  return {s, b - (s - a)};
}

// a * b exactly (barring overflow), through Dekker's split into two 26-bit halves; no fused
// multiply-add, which not every target has.
constexpr DoubleDouble TwoProduct(double a, double b) noexcept {
  constexpr double splitter = 134217729.0;  // 2^27 + 1
  const double ta = splitter * a;
  const double aHi = ta - (ta - a);
  const double aLo = a - aHi;
  const double tb = splitter * b;
  const double bHi = tb - (tb - b);
  const double bLo = b - bHi;
  const double p = a * b;
  const double err = ((aHi * bHi - p) + aHi * bLo + aLo * bHi) + aLo * bLo;
  return {p, err};
}

constexpr DoubleDouble Add(DoubleDouble a, DoubleDouble b) noexcept {
  const DoubleDouble s = TwoSum(a.hi, b.hi);
  const DoubleDouble t = TwoSum(a.lo, b.lo);
  DoubleDouble r = QuickTwoSum(s.hi, s.lo + t.hi);
  return QuickTwoSum(r.hi, r.lo + t.lo);
}

constexpr DoubleDouble Multiply(DoubleDouble a, DoubleDouble b) noexcept {
  const DoubleDouble p = TwoProduct(a.hi, b.hi);
  return QuickTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

}  // namespace tessaryn
