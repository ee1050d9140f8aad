// The run-sum test of when carried window sums are exact (filters/run_sums.h): where it
// turns, and that spans judged from kept blocks agree with spans taken price by price.
#include "filters/run_sums.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// A run whose own prefix sums may have rounded marks every span joined from it, wherever it
// lies, even where the joined span's own prefix sums would pass.
TEST(RunSums, ARunNotBoundedOnItsOwnMarksTheSpansJoinedFromIt) {
  const std::vector<float> rounds = {1.0f, 0x1p-126f, -1.0f};  // its prefix sums round
  const std::vector<float> fine = {0.5f, -0.25f, 3.0f};
  RunSums::Span part;
  part.Add(rounds.data(), 3);
  ASSERT_FALSE(part.RangeBounded());
  for (const bool partFirst : {true, false}) {
    RunSums::Span joined;
    RunSums::Span other;
    other.Add(fine.data(), 3);
    ASSERT_TRUE(other.RangeBounded());
    joined.Add(partFirst ? part : other);
    joined.Add(partFirst ? other : part);
    EXPECT_FALSE(joined.RangeBounded()) << partFirst;
    EXPECT_EQ(joined.highest, std::numeric_limits<double>::infinity()) << partFirst;
    RunSums::Span after = joined;  // and whatever follows it
    after.Add(other);
    EXPECT_FALSE(after.RangeBounded()) << partFirst;
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

// The span taken from what is kept against the same span taken price by price: the same
// verdict and unit and, where bounded, the same bits.
void ExpectSameSpan(RunSums& runs, const std::vector<float>& prices, std::int32_t lo,
                    std::int32_t hi, const char* what) {
  RunSums::Span direct;
  direct.Add(prices.data() + lo, hi - lo + 1);
  const RunSums::Span kept = runs.Of(prices.data(), lo, hi);
  ASSERT_EQ(kept.RangeBounded(), direct.RangeBounded()) << what << ": " << lo << " .. " << hi;
  ASSERT_EQ(kept.magnitudes.Unit(), direct.magnitudes.Unit()) << what << ": " << lo << " .. " << hi;
  ASSERT_EQ(kept.magnitudes.Top(), direct.magnitudes.Top()) << what << ": " << lo << " .. " << hi;
  if (direct.RangeBounded()) {
    ASSERT_EQ(Bits(kept.highest), Bits(direct.highest)) << what << ": " << lo << " .. " << hi;
    ASSERT_EQ(Bits(kept.lowest), Bits(direct.lowest)) << what << ": " << lo << " .. " << hi;
    ASSERT_EQ(Bits(kept.sum), Bits(direct.sum)) << what << ": " << lo << " .. " << hi;
  }
}

// Normal prices with, now and then, one so small (the unit falls) or so large (its exponent
// is too far above the unit) that the spans holding it fail.
std::vector<float> SpikedPrices(unsigned seed, std::size_t count, int every) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> normal(0.0f, 1.0f);
  std::vector<float> prices(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t spike = i % static_cast<std::size_t>(every);
    prices[i] = spike == 7 ? std::ldexp(1.0f, -40) : spike == 3 * 64 + 5 ? 0x1p40f : normal(rng);
  }
  return prices;
}

struct ChunkCase {
  const char* what;
  std::int32_t period;  // 0: drifting by a bar every bar between 20 and 200
  int every;            // a spike every so many prices
};

// As a routine asks over a series, chunk after chunk of 256 bars: the chunk's span from the
// start of its oldest window's block; then its groups of 32 bars, each from its oldest window
// (the one carried into it) to its last bar, the spans' ends going back within the chunk.
const ChunkCase kChunkCases[] = {
    {"period 14", 14, 5000},
    {"period 200", 200, 3001},
    {"period 1750", 1750, 9000},
    {"period 5000", 5000, 20000},
    {"period 5000, spikes often", 5000, 1300},
    {"period 13000, nearly all that is kept", 13000, 40000},
    {"period 15000, longer than what is kept", 15000, 40000},
    {"drifting", 0, 2500},
};

TEST(RunSums, ChunksAndTheirGroupsAgreeWithTheirPrices) {
  constexpr std::int32_t kChunk = 256;
  constexpr std::int32_t kGroup = 32;
  for (const ChunkCase& c : kChunkCases) {
    const std::vector<float> prices = SpikedPrices(21, 60000, c.every);
    const auto periodAt = [&](std::int32_t i) {
      const std::int32_t phase = i % 360;
      return c.period > 0 ? c.period : 20 + (phase < 180 ? phase : 360 - phase);
    };
    const auto runs = std::make_unique<RunSums>();
    const auto size = static_cast<std::int32_t>(prices.size());
    for (std::int32_t first = kChunk; first + kChunk <= size; first += kChunk) {
      const std::int32_t carried = first - 1 - periodAt(first - 1) + 1;
      if (carried < 0) {
        continue;
      }
      std::int32_t oldest = carried;
      for (std::int32_t i = first; i < first + kChunk; ++i) {
        oldest = std::min(oldest, i - periodAt(i) + 1);
      }
      oldest -= oldest % RunSums::BlockBars;
      ExpectSameSpan(*runs, prices, oldest, first + kChunk - 1, c.what);
      std::int32_t groupCarried = carried;
      for (std::int32_t g = first; g < first + kChunk; g += kGroup) {
        std::int32_t groupOldest = groupCarried;
        for (std::int32_t i = g; i < g + kGroup; ++i) {
          groupOldest = std::min(groupOldest, i - periodAt(i) + 1);
        }
        groupCarried = g + kGroup - 1 - periodAt(g + kGroup - 1) + 1;
        ExpectSameSpan(*runs, prices, groupOldest, g + kGroup - 1, c.what);
      }
    }
  }
}

struct RevisionCase {
  const char* what;
  std::int32_t length;  // of the spans, which move on a bar at a time
  int back;             // the place revised: this many prices before the span's end
};

// A stream's spans, bar after bar, while prices the kept spans hold change under them and
// are forgotten: at the newest price, inside the cells after the pivot, and inside the cells
// before it, near and far from the span's start.
const RevisionCase kRevisionCases[] = {
    {"the newest price", 3000, 0},           {"a block back", 3000, 64},
    {"a cell and more back", 3000, 300},     {"before the pivot", 3000, 1500},
    {"near the span's start", 3000, 2990},   {"a short span, a block back", 400, 70},
    {"a long span, far back", 12000, 11000},
};

TEST(RunSums, ForgettingARevisedPriceKeepsTheRestExact) {
  for (const RevisionCase& c : kRevisionCases) {
    std::vector<float> prices = SpikedPrices(5, 40000, 1 << 30);
    std::mt19937 rng(17);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    const auto runs = std::make_unique<RunSums>();
    std::int32_t spiked = -1;  // a price revised to fail the spans, put right at the next
    for (std::int32_t hi = c.length + 100; hi < c.length + 2000; ++hi) {
      const std::int32_t lo = hi - c.length + 1;
      ExpectSameSpan(*runs, prices, lo - lo % RunSums::BlockBars, hi, c.what);
      if (hi % 7 == 0) {
        if (spiked >= 0) {
          prices[spiked] = normal(rng);
          runs->Forget(spiked);
        }
        const std::int32_t place = hi - c.back;
        const int kind = std::uniform_int_distribution<int>(0, 3)(rng);
        prices[place] = kind == 0 ? 0x1p40f : kind == 1 ? std::ldexp(1.0f, -40) : normal(rng);
        spiked = kind < 2 ? place : -1;
        runs->Forget(place);
        ExpectSameSpan(*runs, prices, lo, hi, c.what);
      }
    }
  }
}

// A price revised in a block that is kept only among the last blocks, before the cells the
// spans now start from, and then a span longer than what is kept, which reads that block.
TEST(RunSums, ForgettingABlockBeforeTheCellsStillInTheLastBlocks) {
  std::vector<float> prices = SpikedPrices(13, 40000, 1 << 30);
  constexpr std::int32_t B = RunSums::BlockBars;
  struct Step {
    std::int32_t lo;
    std::int32_t hi;
    std::int32_t revise;  // the place revised after the span, -1 for none
  };
  const Step steps[] = {
      {100 * B, 108 * B - 1, -1},  // blocks 100 .. 107 kept
      {104 * B, 112 * B - 1, -1},  // the spans start a cell on
      {104 * B + 5, 112 * B, 101 * B + 3},
      {90 * B, 330 * B - 1, -1},  // longer than what is kept, over block 101
      {104 * B, 112 * B - 1, 106 * B},
      {104 * B, 113 * B - 1, -1},
  };
  const auto runs = std::make_unique<RunSums>();
  for (const Step& step : steps) {
    ExpectSameSpan(*runs, prices, step.lo, step.hi, "a block among the last");
    if (step.revise >= 0) {
      prices[step.revise] = 0x1p40f;
      runs->Forget(step.revise);
    }
  }
}

// Spans that start and end anywhere inside the cells of the one before, moving forward by a
// few blocks or going back a little, and a buffer whose prices all move (Forget).
TEST(RunSums, SpansStartingAndEndingInsideCells) {
  const std::vector<float> prices = SpikedPrices(9, 50000, 7777);
  std::mt19937 rng(3);
  const auto runs = std::make_unique<RunSums>();
  std::int32_t lo = 0;
  std::int32_t length = 2000;
  for (int query = 0; query < 20000; ++query) {
    lo += std::uniform_int_distribution<std::int32_t>(-70, 300)(rng);
    length += std::uniform_int_distribution<std::int32_t>(-200, 200)(rng);
    length = std::clamp(length, 1, 9000);
    lo = std::clamp(lo, 0, 40000);
    if (lo == 40000) {
      lo = 0;
      runs->Forget();
    }
    ExpectSameSpan(*runs, prices, lo, lo + length - 1, "inside cells");
  }
}

}  // namespace
}  // namespace tessaryn::test
