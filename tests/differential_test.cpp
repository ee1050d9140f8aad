// The fast routines (running window sums, cached coefficients, two passes per chunk) give
// exactly the bits of the plain bar-by-bar definition, on series built to find where they
// could part: exact sums and sums that must fall back, steady and restless periods, long
// series where a running sum could drift.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <random>
#include <string>

#include "differential_cases.h"
#include "filters/bar_loop.h"
#include "filters/dispatch.h"
#include "filters/exact_sum.h"
#include "filters/trend_step.h"
#include "filters/window_sum.h"
#include "plain_filters.h"
#include "test_support.h"

namespace tessaryn::test {
namespace {

// Every indicator of the table, at every width this build has.
TEST(Differential, FastRoutinesMatchThePlainDefinitionBitForBit) {
  AtEveryWidth([](Lanes lanes) {
    unsigned seed = 100;
    for (const DifferentialCase& c : kCases) {
      const Series s = Build(c, seed++);
      for (const NamedRoutine& routine : kRoutines) {
        const std::vector<float> want = routine.plain(s.prices, s.periods);
        const std::vector<float> got = RunOver(routine.run, s.prices, s.periods);
        for (std::size_t i = 0; i < got.size(); ++i) {
          ASSERT_EQ(Bits(got[i]), Bits(want[i]))
              << routine.name << " at " << WidthName(lanes) << ", " << c.name << ", bar " << i
              << ": " << got[i] << " instead of " << want[i];
        }
      }
    }
  });
}

// The window sums themselves, in double, as the trend step carries them: a carried sum that
// rounded differently from the fresh one would show here even where the output's rounding
// to single precision hides it. Bars that go together are checked at the end of each group,
// where any rounding on the way would have left its mark. It also counts the paces chosen.
struct WindowSumProbe {
  using Serial = TrendStep::Serial;
  using Plan = TrendStep::Plan;
  template <class V>
  using Histories = TrendStep::Histories<V>;
  template <class V>
  using Inputs = TrendStep::Inputs<V>;
  template <class V>
  using Outputs = TrendStep::Outputs<V>;

  explicit WindowSumProbe(PriceSeries prices) : trend(prices) {}

  TrendStep trend;
  std::size_t checked = 0;
  std::string failure;
  int paces[4] = {};  // chunks by Pace

  template <class V>
  void PlanChunk(const Serial& s, const Chunk& c, Plan& plan) {
    trend.PlanChunk<V>(s, c, plan);
    ++paces[static_cast<int>(plan.pace)];
  }
  Inputs<double> Record(Serial& s, const Plan& plan, std::int32_t i, std::int32_t period) {
    const Inputs<double> inputs = trend.Record(s, plan, i, period);
    Check(s.window, "");
    return inputs;
  }
  template <class V, Pace P>
  Inputs<V> Slide(Serial& s, const Plan& plan, std::int32_t i, const std::int32_t* periods) {
    const Inputs<V> inputs = trend.Slide<V, P>(s, plan, i, periods);
    Check(s.window, " (together)");
    return inputs;
  }
  template <class V>
  static Outputs<V> Value(Histories<V>& h, const Inputs<V>& inputs, std::int32_t i) {
    return TrendStep::Value(h, inputs, i);
  }
  void Check(const CarriedWindow& w, const char* how) {
    ++checked;
    const double fresh = FreshWindowSum(trend.prices, w.newest, w.period);
    if (std::isnan(fresh) && std::isnan(w.sum))
      return;  // payloads may differ
    if (failure.empty() && Bits(fresh) != Bits(w.sum))
      failure = "bar " + std::to_string(w.newest) + how;
  }
};

// The probe over a whole series at the width chosen now.
WindowSumProbe RunProbe(const Series& s, std::vector<float>& out) {
  WindowSumProbe probe(s.prices.data());
  StepState<WindowSumProbe> state;
  RunBars(probe, state, 0, static_cast<std::int32_t>(s.prices.size()), s.periods.data(),
          OwnOutput{out.data()});
  return probe;
}

TEST(Differential, CarriedWindowSumsHaveTheFreshSumsBits) {
  AtEveryWidth([](Lanes lanes) {
    unsigned seed = 100;
    for (const DifferentialCase& c : kCases) {
      const Series s = Build(c, seed++);
      std::vector<float> out(s.prices.size());
      const WindowSumProbe probe = RunProbe(s, out);
      EXPECT_EQ(probe.failure, "") << c.name << " at " << WidthName(lanes);
      const std::vector<float> trend = RunPlain(Plain::Trend, s.prices, s.periods);
      const bool anyComputed =
          std::any_of(trend.begin(), trend.end(), [](float v) { return !IsEmpty(v); });
      EXPECT_EQ(probe.checked > 0, anyComputed) << c.name;
    }
  });
}

// Which way each kind of chunk goes: the fast paths must bind where they apply.
TEST(Differential, EachKindOfChunkTakesItsPath) {
  struct PaceCase {
    const char* name;
    PeriodPattern period;
    int uniform, drifting, jumping;  // at least this many chunks of each pace
    bool byBar;                      // some chunks bar by bar
  };
  // 16 chunks; the first has empty bars (or bars before 3, which the model takes one by one).
  const PaceCase cases[] = {
      {"steady", Constant(14), 10, 0, 0, true},
      {"drifting by one",
       [](int bar, std::mt19937&) { return 20.0f + static_cast<float>(std::abs(bar % 100 - 50)); },
       0, 10, 0, true},
      {"jumping", Jumping(30), 0, 0, 14, true},
      {"jitter", Jitter(20), 0, 0, 14, true},
      {"alternating", Alternating(14, 28), 0, 0, 14, true},
      {"steps", Steps(50, {10, 20, 30, 40}), 0, 0, 14, true},
      {"random walk", RandomWalk(5, 200), 0, 0, 14, true},
      {"halves and ones", Steps(10, {200, 100, 1, 100.5f, 50}), 0, 0, 14, true},
  };
  for (const PaceCase& c : cases) {
    const Series s = Build({c.name, 4096, 100.0f, c.period}, 1);
    std::vector<float> out(s.prices.size());
    const WindowSumProbe probe = RunProbe(s, out);
    EXPECT_GE(probe.paces[static_cast<int>(Pace::Uniform)], c.uniform) << c.name;
    EXPECT_GE(probe.paces[static_cast<int>(Pace::Drifting)], c.drifting) << c.name;
    EXPECT_GE(probe.paces[static_cast<int>(Pace::Jumping)], c.jumping) << c.name;
    EXPECT_EQ(probe.paces[static_cast<int>(Pace::BarByBar)] > 0, c.byBar) << c.name;
    EXPECT_EQ(probe.failure, "") << c.name;
  }
}

// A million bars at a steady period: a carried sum that drifted by one unit anywhere would
// show here. (The plain trend costs the period in additions per bar, hence period 30.)
TEST(Differential, MillionBarsDoNotDrift) {
  const DifferentialCase longSeries{"", 1'000'000, 1234.5f, Drifting(30, 3)};
  const Series s = Build(longSeries, 7);
  for (const NamedRoutine& routine : kRoutines) {
    const std::vector<float> want = routine.plain(s.prices, s.periods);
    const std::vector<float> got = RunOver(routine.run, s.prices, s.periods);
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < got.size(); ++i)
      mismatches += Bits(got[i]) != Bits(want[i]);
    EXPECT_EQ(mismatches, 0u) << routine.name;
  }
}

// The one pass over every indicator gives each routine's bits, whichever outputs it is given,
// and may take an output as the periods.
TEST(Differential, OnePassGivesTheThreeRoutinesBits) {
  AtEveryWidth([](Lanes lanes) {
    unsigned seed = 100;
    for (const DifferentialCase& c : kCases) {
      const Series s = Build(c, seed++);
      const auto n = static_cast<std::int32_t>(s.prices.size());
      std::vector<float> want[3];
      for (int r = 0; r < 3; ++r) {
        want[r] = RunOver(kRoutines[r].run, s.prices, s.periods);
      }
      for (const unsigned given : {7u, 1u, 2u, 4u, 5u}) {  // which of the three, as bits
        std::vector<float> got[3];
        float* outs[3] = {};
        for (int r = 0; r < 3; ++r) {
          if (given & (1u << r)) {
            got[r] = s.periods;  // the first given one doubles as the periods
            outs[r] = got[r].data();
          }
        }
        const float* periods = s.periods.data();
        for (float* out : outs) {
          if (out != nullptr) {
            periods = out;
            break;
          }
        }
        TessarynIndicators(s.prices.data(), periods, n, outs[0], outs[1], outs[2]);
        for (int r = 0; r < 3; ++r) {
          if (outs[r] != nullptr) {
            EXPECT_TRUE(SameBits(got[r], want[r], s.prices.size()))
                << kRoutines[r].name << " of " << given << " at " << WidthName(lanes) << ", "
                << c.name;
          }
        }
      }
    }
  });
}

// The exactness check itself: where it says a set of values sums exactly, every order of
// summation agrees; at its boundary it turns by one bit.
struct SpanCase {
  float large;
  float small;
  std::int64_t terms;
  bool exact;
};

constexpr SpanCase kSpanCases[] = {
    {1.0f, 0x1p-20f, 200, true},      // 8 + 20 + 24 = 52
    {1.0f, 0x1p-21f, 200, true},      // 53
    {1.0f, 0x1p-22f, 200, false},     // 54
    {1.0f, 0x1p-21f, 256, true},      // ceil(log2 256) = 8
    {1.0f, 0x1p-21f, 257, false},     // 9
    {-3.0f, 0x1p-20f, 128, true},     // exponent of 3 is 1: 7 + 21 + 24 = 52
    {1e-40f, 1e-45f, 1 << 20, true},  // subnormals share the unit 2^-149
    {3.4E+38f, 3.3E+38f, 1000, true},
    {3.4E+38f, 1.0f, 2, false},
    {std::numeric_limits<float>::infinity(), 1.0f, 2, false},
    {std::numeric_limits<float>::quiet_NaN(), 1.0f, 2, false},
    {0.0f, 0.0f, 1000, true},
};

TEST(ExponentSpan, TellsExactSumsApartAtTheBoundary) {
  for (const SpanCase& c : kSpanCases) {
    const float values[] = {c.large, c.small, 0.0f, -0.0f};
    ExponentSpan span;
    span.Add(values, 0, 3);
    EXPECT_EQ(span.SumsAreExact(c.terms), c.exact)
        << c.large << " and " << c.small << ", " << c.terms << " terms";
  }
}

TEST(ExponentSpan, SumsItCallsExactAgreeInEveryOrder) {
  std::mt19937 rng(3);
  for (int trial = 0; trial < 200; ++trial) {
    const int shift = std::uniform_int_distribution<int>(0, 40)(rng);
    std::vector<float> values(64);
    for (float& v : values) {
      const int e = std::uniform_int_distribution<int>(-shift, 0)(rng);
      v = std::ldexp(std::uniform_real_distribution<float>(-2.0f, 2.0f)(rng), e);
    }
    ExponentSpan span;
    span.Add(values.data(), 0, 63);
    if (!span.SumsAreExact(65))
      continue;
    double forward = 0.0;
    double backward = 0.0;
    for (int k = 0; k < 64; ++k) {
      forward += values[k];
      backward += values[63 - k];
    }
    ASSERT_EQ(Bits(forward), Bits(backward)) << "trial " << trial;
  }
}

// The fresh sums of windows side by side, in lanes and chains, have FreshWindowSum's bits:
// at lengths around the prices widened at a time, on prices whose sums round.
template <class V, int Chains>
void ExpectFreshSumsSideBySide(const char* what) {
  std::mt19937 rng(29);
  std::uniform_real_distribution<float> wide(-1.0f, 1.0f);
  std::vector<float> prices(12000);
  for (std::size_t i = 0; i < prices.size(); ++i) {
    prices[i] = std::ldexp(wide(rng), static_cast<int>(i % 41) - 20);  // sums that round
  }
  constexpr int Side = Chains * Width<V>;
  for (const std::int32_t period :
       {1, 2, 31, 63, 64, 65, 127, 128, 129, 200, 256, 257, 1000, 5000}) {
    for (const std::int32_t i : {period, period + 1, period + 777}) {
      double sums[Side];
      FreshWindowSums<V, Chains>(prices.data(), i, period, sums);
      for (int k = 0; k < Side; ++k) {
        ASSERT_EQ(Bits(sums[k]), Bits(FreshWindowSum(prices.data(), i + k, period)))
            << what << ", period " << period << ", bar " << i + k;
      }
    }
  }
}

TEST(Differential, FreshSumsSideBySideHaveTheFreshSumsBits) {
  ExpectFreshSumsSideBySide<double, 3>("one lane, three chains");
  ExpectFreshSumsSideBySide<Double2, 8>("two lanes, eight chains");
}

}  // namespace
}  // namespace tessaryn::test
