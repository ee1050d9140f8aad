// Period rounding: halves to even, out-of-range periods to 0, whatever the rounding mode.
#include "filters/round_period.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>

#include "test_support.h"

namespace tessaryn::test {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

struct RoundingCase {
  float period;
  std::int32_t bars;
};

constexpr RoundingCase kRoundingCases[] = {
    {1.0f, 1},
    {2.4f, 2},
    {2.5f, 2},
    {2.6f, 3},
    {3.5f, 4},
    {4.5f, 4},
    {1.5f, 2},
    {0.50000006f, 1},  // just above the half that rounds to 0
    {2.4999998f, 2},
    {2.5000002f, 3},
    {8388607.5f, 8388608},        // largest float with a half
    {2147483520.0f, 2147483520},  // largest float below 2^31
    // Everything that does not round to 1 .. 2^31 - 1 gives 0.
    {0.5f, 0},
    {0.4f, 0},
    {0.0f, 0},
    {-0.0f, 0},
    {1e-45f, 0},
    {-1.0f, 0},
    {-2.5f, 0},
    {2147483648.0f, 0},
    {1e10f, 0},
    {std::numeric_limits<float>::max(), 0},
    {kInf, 0},
    {-kInf, 0},
    {std::numeric_limits<float>::quiet_NaN(), 0},
};

TEST(RoundPeriod, RoundsHalvesToEvenAndRejectsOutOfRange) {
  for (const RoundingCase& c : kRoundingCases) {
    EXPECT_EQ(RoundPeriod(c.period), c.bars) << "period " << c.period;
  }
}

// The library rounds periods by itself: a host that left the thread in another rounding
// mode gets the same empty bars as one in round-to-nearest. Each period is tried on its own
// series long enough to show the bar count it rounds to: bars < P are empty, bar P is not.
TEST(RoundPeriod, EmptyBarsDoNotDependOnTheThreadsRoundingMode) {
  const int modes[] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};
  const std::vector<float> prices(12, 100.0f);
  for (const RoundingCase& c : kRoundingCases) {
    if (c.bars < 1 || c.bars > 10) {
      continue;
    }
    const std::vector<float> periods(prices.size(), c.period);
    for (const int mode : modes) {
      ASSERT_EQ(std::fesetround(mode), 0);
      std::vector<float> out = RunOver(::ITrend, prices, periods);
      std::fesetround(FE_TONEAREST);
      for (std::size_t bar = 0; bar < out.size(); ++bar) {
        EXPECT_EQ(IsEmpty(out[bar]), static_cast<std::int32_t>(bar) < c.bars)
            << "period " << c.period << ", mode " << mode << ", bar " << bar;
      }
    }
  }
}

}  // namespace
}  // namespace tessaryn::test
