// Periods outside 1 .. 2^31 - 1 once rounded: the bar is empty and no history moves, exactly
// as for a period too long for its bar. The arrays hold exactly `count` bars, so under the
// sanitizer preset any look-back outside them fails the test.
#include <gtest/gtest.h>

#include <limits>

#include "test_support.h"

namespace tessaryn::test {
namespace {

constexpr float kOutOfContract[] = {
    0.0f,
    -0.0f,
    0.4f,
    0.5f,
    -1.0f,
    -3e9f,
    1e-45f,
    2147483648.0f,
    1e10f,
    std::numeric_limits<float>::max(),
    std::numeric_limits<float>::infinity(),
    -std::numeric_limits<float>::infinity(),
    std::numeric_limits<float>::quiet_NaN(),
};

// A valid period that no bar of these series reaches.
constexpr float kTooLong = 2147483520.0f;

std::vector<float> Substitute(std::vector<float> periods, std::size_t first, std::size_t stride,
                              float value) {
  for (std::size_t bar = first; bar < periods.size(); bar += stride) {
    periods[bar] = value;
  }
  return periods;
}

TEST(OutOfContractPeriods, LeaveTheBarEmptyAndTheHistoriesStill) {
  const auto [prices, periods] = RandomSeries(21, 60, 300.0f, 6);
  struct Pattern {
    std::size_t first, stride;
  };
  const Pattern patterns[] = {{0, 1}, {0, 3}, {1, 2}, {2, 100}, {59, 1}};
  for (const float bad : kOutOfContract) {
    for (const Pattern& pattern : patterns) {
      const std::vector<float> badPeriods = Substitute(periods, pattern.first, pattern.stride, bad);
      const std::vector<float> longPeriods =
          Substitute(periods, pattern.first, pattern.stride, kTooLong);
      for (const NamedRoutine& routine : kRoutines) {
        const std::vector<float> got = RunOver(routine.run, prices, badPeriods);
        const std::vector<float> want = RunOver(routine.run, prices, longPeriods);
        for (std::size_t bar = 0; bar < prices.size(); ++bar) {
          EXPECT_EQ(Bits(got[bar]), Bits(want[bar]))
              << routine.name << ", period " << bad << " from bar " << pattern.first << " every "
              << pattern.stride << ", bar " << bar;
          // The bar itself is empty, whatever a too-long period would have made of it.
          const bool substituted =
              bar >= pattern.first && (bar - pattern.first) % pattern.stride == 0;
          if (substituted) {
            EXPECT_TRUE(IsEmpty(got[bar])) << routine.name << ", period " << bad << ", bar " << bar;
          }
        }
      }
    }
  }
}

TEST(OutOfContractPeriods, ShortSeriesStayInsideTheirArrays) {
  for (const float bad : kOutOfContract) {
    for (std::size_t count = 1; count <= 3; ++count) {
      const std::vector<float> prices(count, 5.0f);
      const std::vector<float> periods(count, bad);
      for (const NamedRoutine& routine : kRoutines) {
        for (const float value : RunOver(routine.run, prices, periods)) {
          EXPECT_TRUE(IsEmpty(value)) << routine.name << ", period " << bad;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tessaryn::test
