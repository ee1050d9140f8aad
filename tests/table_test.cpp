// Every indicator of the table as a stream (StreamEngine<Step>): bars pushed one at a time,
// some revised before the next comes, and a batch through PushMany, give the routine's bits
// for the step's own value, at every width.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "differential_cases.h"
#include "filters/stream.h"
#include "test_support.h"

namespace tessaryn::test {
namespace {

template <class Step>
::testing::AssertionResult StreamsAsTheRoutine(const NamedRoutine& routine, std::int32_t bound,
                                               const Series& s, unsigned seed) {
  const std::vector<float> want = RunOver(routine.run, s.prices, s.periods);
  StreamEngine<Step> engine(bound);
  std::mt19937 rng(seed);
  const auto count = static_cast<std::int32_t>(s.prices.size());
  // The first third in one batch, the rest bar by bar, a wrong tick first on some bars.
  const std::int32_t batch = count / 3;
  typename StreamEngine<Step>::Outputs outs{};
  std::vector<float> own(s.prices.size());
  outs[Step::outputs - 1] = own.data();
  if (engine.PushMany(s.prices.data(), s.periods.data(), batch, outs) != StreamStatus::Ok) {
    return ::testing::AssertionFailure() << "PushMany refused";
  }
  for (std::int32_t i = batch; i < count; ++i) {
    float out[Step::outputs];
    const bool revised = std::uniform_int_distribution<int>(0, 2)(rng) == 0;
    const float first = revised ? s.prices[i] * 1.25f + 1.0f : s.prices[i];
    if (engine.Push(first, revised ? s.periods[i] + 3.0f : s.periods[i], out) != StreamStatus::Ok ||
        (revised && engine.Revise(s.prices[i], s.periods[i], out) != StreamStatus::Ok)) {
      return ::testing::AssertionFailure() << "a bar refused at " << i;
    }
    own[static_cast<std::size_t>(i)] = out[Step::outputs - 1];
  }
  for (std::size_t i = 0; i < want.size(); ++i) {
    if (Bits(own[i]) != Bits(want[i])) {
      return ::testing::AssertionFailure()
             << "bar " << i << ": " << own[i] << " instead of " << want[i];
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(IndicatorTable, EveryStepStreamsAsItsRoutine) {
  AtEveryWidth([](Lanes lanes) {
    unsigned seed = 500;
    for (const DifferentialCase& c : kCases) {
      const Series s = Build(c, seed++);
      std::size_t row = 0;
#define TESSARYN_INDICATOR(Routine, Ordinal, Step, output, function, Plain) \
  EXPECT_TRUE(StreamsAsTheRoutine<Step>(kRoutines[row], 0, s, seed))        \
      << #Routine << " at " << WidthName(lanes) << ", " << c.name;          \
  ++row;
#include "filters/indicators.inc"
// then the tests' own, as kRoutines lists them
#include "extra_indicators.inc"
#undef TESSARYN_INDICATOR
    }
  });
}

// The table itself: ordinals 1 .. n once each for the library's routines, the tests' own
// without one, and names that a stream's outputs and the Python package take from it.
TEST(IndicatorTable, OrdinalsAndNamesAreSound) {
  std::vector<int> ordinals;
  for (const NamedRoutine& routine : kRoutines) {
    if (routine.ordinal != 0) {
      ordinals.push_back(routine.ordinal);
    }
  }
  std::sort(ordinals.begin(), ordinals.end());
  for (std::size_t k = 0; k < ordinals.size(); ++k) {
    EXPECT_EQ(ordinals[k], static_cast<int>(k) + 1);
  }
  EXPECT_EQ(ordinals.size(), kIndicatorCount);
  EXPECT_STREQ(kOutputNames[0], "trend");
  EXPECT_STREQ(kOutputNames[kIndicatorCount - 1], "model");
}

}  // namespace
}  // namespace tessaryn::test
