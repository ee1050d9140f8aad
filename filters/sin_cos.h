// Sine and cosine that give the same bits on every platform.
//
// Platform maths libraries disagree in the last bit of sin and cos (for the 10^6 angles
// 2 Pi / P, P = 1 .. 10^6, one common Windows runtime differs from glibc on 468 values), and
// the cycle coefficient is formed from both. These are evaluated in double-double
// arithmetic (about 100 correct bits) and rounded once, so each result is the correctly
// rounded sine or cosine: a single well-defined value whatever the library underneath.
#pragma once

namespace tessaryn {

struct SineCosine {
  double sine;
  double cosine;
};

// Valid for 0 <= x <= 8, which covers every angle the filters form (2 Pi / P, P >= 1).
SineCosine SinCos(double x) noexcept;

}  // namespace tessaryn
