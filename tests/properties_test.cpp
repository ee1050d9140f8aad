// Properties that hold for any input, checked on seeded random series for every routine.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <thread>

#include "filters/round_period.h"
#include "test_support.h"

namespace tessaryn::test {
namespace {

// A bar's output is a function of the bars up to it: a run over a shorter series, whose
// arrays hold exactly that many bars, and a run whose later bars differ, agree with it.
TEST(Properties, NoBarDependsOnLaterBars) {
  const auto [prices, periods] = RandomSeries(11, 300, 2500.0f, 40);
  for (const NamedRoutine& routine : kRoutines) {
    const std::vector<float> full = RunOver(routine.run, prices, periods);
    for (const std::size_t bars : {1u, 2u, 3u, 4u, 17u, 150u, 299u}) {
      std::vector<float> headPrices(prices.begin(), prices.begin() + bars);
      std::vector<float> headPeriods(periods.begin(), periods.begin() + bars);
      EXPECT_TRUE(SameBits(RunOver(routine.run, headPrices, headPeriods), full, bars))
          << routine.name << ", first " << bars << " bars alone";
      headPrices.resize(prices.size(), 1e6f);
      headPeriods.resize(prices.size(), 1.0f);
      EXPECT_TRUE(SameBits(RunOver(routine.run, headPrices, headPeriods), full, bars))
          << routine.name << ", first " << bars << " bars with other later bars";
    }
  }
}

// Constant prices carry no change: the trend is the price itself and the cycle exactly 0.
TEST(Properties, ConstantPricesGiveThePriceAndNoCycle) {
  const std::vector<float> periods = RandomSeries(12, 200, 1.0f, 30).periods;
  for (const float level : {0.0f, 1234.5f, -7.25f, 1e-30f, 3e30f}) {
    const std::vector<float> prices(periods.size(), level);
    const std::vector<float> trend = RunOver(::ITrend, prices, periods);
    const std::vector<float> cycle = RunOver(::CyclicalComponent, prices, periods);
    const std::vector<float> model = RunOver(::Tessaryn, prices, periods);
    for (std::size_t bar = 0; bar < prices.size(); ++bar) {
      if (IsEmpty(trend[bar])) {
        continue;
      }
      EXPECT_EQ(trend[bar], level) << "level " << level << ", bar " << bar;
      EXPECT_EQ(cycle[bar], 0.0f) << "level " << level << ", bar " << bar;
      EXPECT_EQ(model[bar], level) << "level " << level << ", bar " << bar;
    }
  }
}

// The empty bars are exactly those whose period does not round to 1 .. bar index, the same
// for all three routines.
TEST(Properties, EmptyBarsFollowTheRoundedPeriodAlone) {
  const auto [prices, periods] = RandomSeries(13, 400, 80.0f, 300);
  for (const NamedRoutine& routine : kRoutines) {
    const std::vector<float> out = RunOver(routine.run, prices, periods);
    for (std::size_t bar = 0; bar < out.size(); ++bar) {
      const std::int32_t period = RoundPeriod(periods[bar]);
      const bool empty = period < 1 || period > static_cast<std::int32_t>(bar);
      EXPECT_EQ(IsEmpty(out[bar]), empty) << routine.name << ", bar " << bar;
    }
  }
}

double Ulp(float value) {
  const float magnitude = std::fabs(value);
  return static_cast<double>(std::nextafter(magnitude, std::numeric_limits<float>::infinity())) -
         static_cast<double>(magnitude);
}

// The model is trend plus cycle rounded once, while the two separate outputs are each
// rounded: they differ by at most half an ulp of each of the three.
TEST(Properties, ModelIsTrendPlusCycle) {
  for (const float level : {0.01f, 45.0f, 18000.0f, 3e6f}) {
    const auto [prices, periods] = RandomSeries(14, 500, level, 60);
    const std::vector<float> trend = RunOver(::ITrend, prices, periods);
    const std::vector<float> cycle = RunOver(::CyclicalComponent, prices, periods);
    const std::vector<float> model = RunOver(::Tessaryn, prices, periods);
    for (std::size_t bar = 0; bar < prices.size(); ++bar) {
      if (IsEmpty(trend[bar])) {
        EXPECT_TRUE(IsEmpty(model[bar])) << "bar " << bar;
        continue;
      }
      const double sum = static_cast<double>(trend[bar]) + static_cast<double>(cycle[bar]);
      const double bound = (Ulp(trend[bar]) + Ulp(cycle[bar]) + Ulp(model[bar])) / 2;
      EXPECT_LE(std::fabs(static_cast<double>(model[bar]) - sum), bound)
          << "level " << level << ", bar " << bar;
    }
  }
}

// Only bars 0 .. count - 1 are written, and a count of 0 or less touches nothing at all:
// the inputs may then even be null.
TEST(Properties, WritesExactlyCountBars) {
  constexpr std::uint32_t kGuard = 0x7FC12345u;  // a NaN no routine produces
  const auto [prices, periods] = RandomSeries(15, 64, 10.0f, 8);
  for (const NamedRoutine& routine : kRoutines) {
    for (const std::int32_t count : {-5, 0, 1, 7, 63}) {
      std::vector<float> out(64, std::bit_cast<float>(kGuard));
      routine.run(count > 0 ? prices.data() : nullptr, count > 0 ? periods.data() : nullptr, count,
                  out.data());
      for (std::size_t bar = 0; bar < out.size(); ++bar) {
        EXPECT_EQ(Bits(out[bar]) == kGuard, static_cast<std::int32_t>(bar) >= count)
            << routine.name << ", count " << count << ", bar " << bar;
      }
    }
    routine.run(nullptr, nullptr, 0, nullptr);
  }
}

// The routines take their inputs through pointers to const, but nothing stops a C routine
// from writing through them: the arrays are handed over writable, inside guards, and every
// byte of them and around them is checked afterwards.
TEST(Properties, InputsAreNeverModified) {
  const auto [prices, periods] = RandomSeries(16, 200, 500.0f, 25);
  constexpr std::size_t kGuard = 64;
  const float guard = std::bit_cast<float>(0x7FC0DEADu);
  for (const NamedRoutine& routine : kRoutines) {
    std::vector<float> pricesRoom(prices.size() + 2 * kGuard, guard);
    std::vector<float> periodsRoom(periods.size() + 2 * kGuard, guard);
    std::copy(prices.begin(), prices.end(), pricesRoom.begin() + kGuard);
    std::copy(periods.begin(), periods.end(), periodsRoom.begin() + kGuard);
    const std::vector<float> pricesBefore = pricesRoom;
    const std::vector<float> periodsBefore = periodsRoom;
    std::vector<float> out(prices.size());
    float* const writablePrices = pricesRoom.data() + kGuard;
    float* const writablePeriods = periodsRoom.data() + kGuard;
    routine.run(writablePrices, writablePeriods, static_cast<std::int32_t>(prices.size()),
                out.data());
    EXPECT_TRUE(SameBits(pricesRoom, pricesBefore, pricesRoom.size())) << routine.name;
    EXPECT_TRUE(SameBits(periodsRoom, periodsBefore, periodsRoom.size())) << routine.name;
  }
}

// Each period is read before its bar is stored, so results may overwrite the periods.
TEST(Properties, PeriodArrayMayBeTheOutput) {
  const auto [prices, periods] = RandomSeries(17, 300, 70.0f, 20);
  for (const NamedRoutine& routine : kRoutines) {
    std::vector<float> inPlace = periods;
    routine.run(prices.data(), inPlace.data(), static_cast<std::int32_t>(prices.size()),
                inPlace.data());
    EXPECT_TRUE(SameBits(inPlace, RunOver(routine.run, prices, periods), prices.size()))
        << routine.name;
  }
}

// Calls share nothing: threads running all routines at once get the single-threaded bits.
TEST(Properties, ConcurrentCallsAreIndependent) {
  const Series series = RandomSeries(18, 4000, 1500.0f, 50);
  std::vector<std::vector<float>> expected;
  for (const NamedRoutine& routine : kRoutines) {
    expected.push_back(RunOver(routine.run, series.prices, series.periods));
  }
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < mismatches.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 20; ++round) {
        const std::size_t r = (t + static_cast<std::size_t>(round)) % std::size(kRoutines);
        const std::vector<float> out = RunOver(kRoutines[r].run, series.prices, series.periods);
        if (!SameBits(out, expected[r], out.size())) {
          ++mismatches[t];
        }
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(std::count(mismatches.begin(), mismatches.end(), 0), 4);
}

}  // namespace
}  // namespace tessaryn::test
