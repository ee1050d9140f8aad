// The run-sum test of when carried window sums are exact (filters/run_sums.h): where it
// turns, and that spans judged from kept blocks agree with spans taken price by price.
#include "filters/run_sums.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "test_support.h"

namespace tessaryn::test {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct RangeCase {
  const char* what;
  std::vector<float> prices;
  bool bounded;
};

// With 1 the smallest magnitude the unit is 2^-23: the range must stay below 2^30, and no
// price may have an exponent more than 27 above 1's (none reaches 2^28).
constexpr float k27 = 0x1p27f;
const RangeCase kRangeCases[] = {
    {"range 2^30 - 8", {k27, k27, k27, k27, k27, k27, k27, k27 - 8, -1.0f}, true},
    {"range 2^30", {k27, k27, k27, k27, k27, k27, k27, k27, -1.0f}, false},
    {"range 2^30 - 1, the small prices last",
     {k27, k27, k27, k27, k27, k27, k27, k27 - 8, 6.0f, 1.0f},
     true},
    {"range 2^30, the small prices last",
     {k27, k27, k27, k27, k27, k27, k27, k27 - 8, 6.0f, 1.0f, 1.0f},
     false},
    {"range 2^30 - 8 below zero", {-k27, -k27, -k27, -k27, -k27, -k27, -k27, 8 - k27, 1.0f}, true},
    {"range 2^30 below zero", {-k27, -k27, -k27, -k27, -k27, -k27, -k27, -k27, 1.0f}, false},
    {"every prefix sum within 2^30, the range not",
     {k27,  k27,  k27,  k27,  k27,  k27,  k27,  -k27, -k27, -k27, -k27,
      -k27, -k27, -k27, -k27, -k27, -k27, -k27, -k27, -k27, -k27, 1.0f},
     false},
    {"zeros take no part in the unit", {k27, 0.0f, -0.0f, k27, -1.0f}, true},
    {"a price 27 exponents above the unit", {0x1.fffffep27f, -0x1.fffffep27f, 1.0f}, true},
    {"a price 28 exponents above the unit: the gain may round", {0x1p28f, -0x1p28f, 1.0f}, false},
    {"subnormal unit 2^-149: range 2^-96 - 2^-122",
     {0x1p-99f, 0x1p-99f, 0x1p-99f, 0x1p-99f, 0x1p-99f, 0x1p-99f, 0x1p-99f, 0x1p-99f - 0x1p-122f,
      -0x1p-149f},
     true},
    {"subnormal unit 2^-149: range 2^-96",
     {0x1p-99f, 0x1p-99f, 0x1p-99f, 0x1p-99f, 0x1p-99f, 0x1p-99f, 0x1p-99f, 0x1p-99f, -0x1p-149f},
     false},
    {"1 beside the smallest normal, whose prefix sums round", {1.0f, 0x1p-126f, -1.0f}, false},
    {"all zero", {0.0f, -0.0f, 0.0f}, true},
    {"NaN", {1.0f, kNaN, -1.0f}, false},
    {"infinity", {1.0f, kInf, -1.0f}, false},
    {"the largest floats, no small ones", {3.4E+38f, -3.4E+38f, 3.4E+38f}, true},
};

TEST(RunSums, TellsBoundedRangesApartAtTheBoundary) {
  // Each case alone, and inside zeros that put it before, across and after whole blocks.
  for (const RangeCase& c : kRangeCases) {
    for (const int lead : {0, 1, 62, 63, 64, 65, 127, 130, 200}) {
      for (const int trail : {0, 1, 63, 64, 70}) {
        std::vector<float> prices(lead, 0.0f);
        prices.insert(prices.end(), c.prices.begin(), c.prices.end());
        prices.resize(prices.size() + trail, 0.0f);
        const auto runs = std::make_unique<RunSums>();
        const auto last = static_cast<std::int32_t>(prices.size()) - 1;
        EXPECT_EQ(runs->Of(prices.data(), 0, last).RangeBounded(), c.bounded)
            << c.what << ", after " << lead << " zeros and before " << trail;
      }
    }
  }
}

// Spans that move forward, jump back, grow and shrink, over a kept series, against the
// same span taken price by price: the same verdict and, where bounded, the same bits.
TEST(RunSums, KeptBlocksGiveTheSpansOfTheirPrices) {
  std::mt19937 rng(11);
  std::normal_distribution<float> normal(0.0f, 1.0f);
  std::vector<float> prices(40000);
  for (std::size_t i = 0; i < prices.size(); ++i) {
    prices[i] = i % 997 == 5 ? std::ldexp(1.0f, -40) : normal(rng);  // some spans fail
  }
  const auto runs = std::make_unique<RunSums>();
  std::int32_t lo = 1;
  for (int query = 0; query < 3000; ++query) {
    const int move = std::uniform_int_distribution<int>(0, 9)(rng);
    lo = move == 0   ? std::uniform_int_distribution<std::int32_t>(0, 30000)(rng)
         : move == 1 ? lo + std::uniform_int_distribution<std::int32_t>(0, 5000)(rng)
                     : lo + std::uniform_int_distribution<std::int32_t>(0, 300)(rng);
    lo %= 30000;
    const std::int32_t length = std::uniform_int_distribution<std::int32_t>(1, 9000)(rng);
    const std::int32_t hi = lo + length - 1;
    RunSums::Span direct;
    direct.Add(prices.data() + lo, length);
    const RunSums::Span kept = runs->Of(prices.data(), lo, hi);
    ASSERT_EQ(kept.RangeBounded(), direct.RangeBounded()) << lo << " .. " << hi;
    ASSERT_EQ(kept.magnitudes.Unit(), direct.magnitudes.Unit()) << lo << " .. " << hi;
    if (direct.RangeBounded()) {
      ASSERT_EQ(Bits(kept.highest), Bits(direct.highest)) << lo << " .. " << hi;
      ASSERT_EQ(Bits(kept.lowest), Bits(direct.lowest)) << lo << " .. " << hi;
      ASSERT_EQ(Bits(kept.sum), Bits(direct.sum)) << lo << " .. " << hi;
    }
  }
}

}  // namespace
}  // namespace tessaryn::test
