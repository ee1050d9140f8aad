// The platform-independent sine and cosine: correctly rounded, and equal to glibc's on every
// angle the cycle filter forms.
#include "filters/sin_cos.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "filters/cycle_step.h"
#include "test_support.h"

namespace tessaryn::test {
namespace {

struct SinCosCase {
  double x;
  double sine;  // correctly rounded values, from a 80-digit evaluation of the series
  double cosine;
};

constexpr SinCosCase kSinCosCases[] = {
    {0.0, 0.0, 1.0},
    {0x1.921fb54411744p+2, -0x1.8aea234c4c663p-33, 0x1p+0},  // 2 Pi / 1, near 2 pi
    {0x1.921fb54411744p+1, 0x1.8aea234c4c663p-34, -0x1p+0},  // 2 Pi / 2, near pi
    {0x1.0c152382b64d8p+1, 0x1.bb67ae85c69c5p-1, -0x1.ffffffff1bfefp-2},
    {0x1.921fb54411744p+0, 0x1p+0, 0x1.8aea234c4c663p-35},  // 2 Pi / 4, near pi/2
    {0x1.cb91f3bb81a97p-1, 0x1.904c37503ab7ep-1, 0x1.3f3a0e28eaf8cp-1},
    {0x1.cb91f3bb81a97p-2, 0x1.bc4c04d6e7e7cp-2, 0x1.cd4bca9cc2044p-1},
    {0x1.015bf92152d9cp-5, 0x1.015122df55f22p-5, 0x1.ffbf52e9d1184p-1},
    {0x1.921fb54735b3bp-29, 0x1.921fb54735b3bp-29, 0x1p+0},  // 2 Pi / (2^31 - 1)
    {0x1p+3, 0x1.fa8d2a028cf7bp-1, -0x1.29fbebf632f94p-3},
    // Two angles where glibc's sine is one unit off; the series gives the nearest double.
    {0x1.b49469306928dp+1, -0x1.10547dc79963dp-2, -0x1.ed8fc74238674p-1},
    {0x1.53531888a6a63p+1, 0x1.e27af71930f2dp-2, -0x1.c39ae8f9c4e66p-1},
};

TEST(SinCos, GivesTheCorrectlyRoundedValues) {
  for (const SinCosCase& c : kSinCosCases) {
    const SineCosine got = SinCos(c.x);
    EXPECT_EQ(Bits(got.sine), Bits(c.sine)) << "sin " << std::hexfloat << c.x;
    EXPECT_EQ(Bits(got.cosine), Bits(c.cosine)) << "cos " << std::hexfloat << c.x;
  }
}

#if defined(__GLIBC__)
// The cycle coefficients therefore keep the bits glibc's sin and cos would give them.
TEST(SinCos, AgreesWithGlibcOnEveryFilterAngle) {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<std::int32_t> longPeriods(1 << 16, INT32_MAX);
  for (std::int32_t n = 1; n <= (1 << 17); ++n) {
    const std::int32_t period = n <= (1 << 16) ? n : longPeriods(random);
    const double x = TwoPi / static_cast<double>(period);
    const SineCosine got = SinCos(x);
    ASSERT_EQ(Bits(got.sine), Bits(std::sin(x))) << "period " << period;
    ASSERT_EQ(Bits(got.cosine), Bits(std::cos(x))) << "period " << period;
  }
}
#endif

}  // namespace
}  // namespace tessaryn::test
