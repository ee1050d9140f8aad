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

#include "filters/bar_loop.h"
#include "filters/exact_sum.h"
#if defined(TESSARYN_FOUR_BARS)
#include "filters/four_bars_avx2.h"  // the probe below goes four bars at a time too
#endif
#include "filters/trend_step.h"
#include "filters/window_sum.h"
#include "plain_filters.h"
#include "test_support.h"

namespace tessaryn::test {
namespace {

using PeriodPattern = std::function<float(int bar, std::mt19937& rng)>;

struct DifferentialCase {
  std::string name;
  int bars;
  float level;  // prices walk around it in steps of 1% of it (0: around zero, steps of 1)
  PeriodPattern period;
  std::function<void(std::vector<float>&)> disturb = nullptr;  // then alter prices
};

Series Build(const DifferentialCase& c, unsigned seed) {
  std::mt19937 rng(seed);
  const float step = c.level == 0.0f ? 1.0f : c.level * 0.01f;
  std::normal_distribution<float> move(0.0f, step);
  Series s;
  float price = c.level;
  for (int bar = 0; bar < c.bars; ++bar) {
    price += move(rng);
    s.prices.push_back(price);
    s.periods.push_back(c.period(bar, rng));
  }
  if (c.disturb)
    c.disturb(s.prices);
  return s;
}

PeriodPattern Constant(float p) {
  return [p](int, std::mt19937&) { return p; };
}
PeriodPattern Drifting(float centre, float swing) {  // a new period about every bar
  return [=](int bar, std::mt19937&) {
    return std::round(centre + swing * std::sin(static_cast<float>(bar) * 0.05f));
  };
}
PeriodPattern Jumping(int longest) {
  return [=](int, std::mt19937& rng) {
    return static_cast<float>(std::uniform_int_distribution<int>(1, longest)(rng));
  };
}
PeriodPattern Halves(int longest) {
  return [=](int, std::mt19937& rng) {
    return static_cast<float>(std::uniform_int_distribution<int>(2, 2 * longest)(rng)) / 2.0f;
  };
}
PeriodPattern Ramp(float start, int every, int step) {  // `step` bars longer every `every`
  return [=](int bar, std::mt19937&) { return start + static_cast<float>(bar / every * step); };
}
PeriodPattern WithGaps(PeriodPattern inner) {  // every 7th bar out of contract or too long
  return [=](int bar, std::mt19937& rng) {
    const float odd[] = {0.0f, -3.0f, std::numeric_limits<float>::quiet_NaN(), 1e9f};
    return bar % 7 == 3 ? odd[(bar / 7) % 4] : inner(bar, rng);
  };
}
std::function<void(std::vector<float>&)> At(std::vector<std::size_t> bars, float value) {
  return [=](std::vector<float>& prices) {
    for (const std::size_t i : bars)
      prices[i] = value;
  };
}
std::function<void(std::vector<float>&)> From(std::size_t bar, int stride, float value) {
  return [=](std::vector<float>& prices) {
    for (std::size_t i = bar; i < prices.size(); i += stride)
      prices[i] = value;
  };
}
// Prices just below 2, so that window sums of a few hundred of them pass 1024.
void NearTwo(std::vector<float>& prices) {
  for (std::size_t i = 0; i < prices.size(); ++i) {
    prices[i] = 1.999f - 0.0001f * static_cast<float>(i % 7);
  }
}
std::function<void(std::vector<float>&)> Every(int stride, float value) {
  return [=](std::vector<float>& prices) {
    for (std::size_t i = stride / 2; i < prices.size(); i += stride)
      prices[i] = value;
  };
}

const DifferentialCase kCases[] = {
    {"level 1e-4, period 14", 3000, 1e-4f, Constant(14)},
    {"level 1, period 200", 3000, 1.0f, Constant(200)},
    {"level 1e6, period 50", 3000, 1e6f, Constant(50)},
    {"level 3.7, period drifting", 5000, 3.7f, Drifting(30, 25)},
    {"level 5000, period drifting widely", 9000, 5000.0f, Drifting(400, 390)},
    {"level 80, period jumping every bar", 5000, 80.0f, Jumping(300)},
    {"level 0.02, fractional halves", 5000, 0.02f, Halves(60)},
    {"level 250, periods with gaps", 5000, 250.0f, WithGaps(Drifting(20, 10))},
    {"period longer than the series", 300, 10.0f, Constant(301)},
    {"period 1", 2000, 10.0f, Constant(1)},
    // Windows where a carried sum would round: the sums must be formed afresh there.
    {"3.4E+38 among prices", 9000, 100.0f, Constant(20), Every(1500, 3.4E+38f)},
    {"NaN among prices", 9000, 100.0f, Drifting(20, 10),
     Every(2500, std::numeric_limits<float>::quiet_NaN())},
    {"infinity among prices", 9000, 100.0f, Constant(30),
     Every(4000, std::numeric_limits<float>::infinity())},
    // Near the top of the float range every other price is within the check's reach, so
    // the infinities alone must send the sums back to the fresh form. Bars 4126 and 8222 are
    // the first prices of the second and third block checked (4096 bars from bar 30 on).
    {"infinity among prices near 1e38", 9000, 1e38f, Constant(30),
     At({4126, 8222}, std::numeric_limits<float>::infinity())},
    {"1e30 mixed with 1e-6", 9000, 1e-6f, Jumping(40), Every(37, 1e30f)},
    {"subnormal prices", 3000, 1e-6f, Constant(12), Every(5, 1e-42f)},
    {"zero-crossing walk, period 10000", 25000, 0.0f, Constant(10000)},
    {"level 1 with values 2^-22 (just inexact at period 200)", 9000, 1.0f, Constant(200),
     Every(3, 0x1.fedcbap-22f)},
    {"level 1 with values 2^-28 (inexact only through the window's length)", 9000, 1.0f,
     Constant(200), Every(3, 0x1.fedcbap-28f)},
    // Exact for a while, then not: the check must stop carrying sums where it turns.
    {"level 1, values 2^-28 from bar 5000 on", 9000, 1.0f, Constant(200),
     From(5000, 3, 0x1.fedcbap-28f)},
    // Windows that grow past 512 prices within a chunk, with a span that fits only below.
    {"near 2 with values 2^-20, windows growing past 512", 3000, 1.0f, Ramp(200, 2, 1),
     [](std::vector<float>& prices) {
       NearTwo(prices);
       for (std::size_t i = 0; i < prices.size(); i += 50)
         prices[i] = 0x1.fedcbbp-20f;
     }},
    {"period drifting by up to two bars", 5000, 60.0f, Drifting(100, 40)},
    {"period two bars longer every third bar", 3000, 60.0f, Ramp(50, 3, 2)},
    {"level 1 with values 2^-20 (just exact at period 200)", 9000, 1.0f, Constant(200),
     Every(3, 0x1.fedcbap-20f)},
};

TEST(Differential, FastRoutinesMatchThePlainDefinitionBitForBit) {
  unsigned seed = 100;
  for (const DifferentialCase& c : kCases) {
    const Series s = Build(c, seed++);
    for (const NamedRoutine& routine : kRoutines) {
      const std::vector<float> want = RunPlain(routine.plain, s.prices, s.periods);
      const std::vector<float> got = RunOver(routine.run, s.prices, s.periods);
      for (std::size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(Bits(got[i]), Bits(want[i])) << routine.name << ", " << c.name << ", bar " << i
                                               << ": " << got[i] << " instead of " << want[i];
      }
    }
  }
}

// The window sums themselves, in double, as the trend step carries them: a carried sum that
// rounded differently from the fresh one would show here even where the output's rounding
// to single precision hides it. Bars that go together are checked at the end of each group,
// where any rounding on the way would have left its mark. It also counts the paces chosen.
struct WindowSumProbe {
  template <class V>
  using State = TrendStep::State<V>;
  template <class V>
  using Inputs = TrendStep::Inputs<V>;

  explicit WindowSumProbe(PriceSeries prices) : trend(prices) {}

  TrendStep trend;
  std::size_t checked = 0;
  std::string failure;
  int paces[3] = {};  // chunks by Pace

  Pace Plan(const State<double>& s, const Chunk& c) {
    const Pace pace = trend.Plan(s, c);
    ++paces[static_cast<int>(pace)];
    return pace;
  }
  Inputs<double> Record(State<double>& s, std::int32_t i, std::int32_t period) {
    const Inputs<double> inputs = trend.Record(s, i, period);
    Check(s.window, "");
    return inputs;
  }
  template <class V, bool Uniform>
  Inputs<V> Slide(State<V>& s, std::int32_t i, const std::int32_t* periods) {
    const Inputs<V> inputs = trend.Slide<V, Uniform>(s, i, periods);
    Check(s.window, " (together)");
    return inputs;
  }
  template <class V>
  V Value(State<V>& s, const Inputs<V>& inputs, std::int32_t i) const {
    return trend.Value(s, inputs, i);
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

TEST(Differential, CarriedWindowSumsHaveTheFreshSumsBits) {
  unsigned seed = 100;
  for (const DifferentialCase& c : kCases) {
    const Series s = Build(c, seed++);
    std::vector<float> out(s.prices.size());
    WindowSumProbe probe(s.prices.data());
    BarLoop(s.periods.data(), static_cast<std::int32_t>(s.prices.size()), out.data(), probe);
    EXPECT_EQ(probe.failure, "") << c.name;
    const std::vector<float> trend = RunPlain(Plain::Trend, s.prices, s.periods);
    const bool anyComputed =
        std::any_of(trend.begin(), trend.end(), [](float v) { return !IsEmpty(v); });
    EXPECT_EQ(probe.checked > 0, anyComputed) << c.name;
  }
}

// Which way each kind of chunk goes: the fast paths must bind where they apply.
TEST(Differential, EachKindOfChunkTakesItsPath) {
  struct PaceCase {
    const char* name;
    PeriodPattern period;
    int uniform, drifting;  // at least this many chunks of each pace
    bool byBar;             // some chunks bar by bar
  };
  const PaceCase cases[] = {
      {"steady", Constant(14), 10, 0, true},  // the first chunk has empty bars
      {"drifting by one",
       [](int bar, std::mt19937&) { return 20.0f + static_cast<float>(std::abs(bar % 100 - 50)); },
       0, 10, true},
      {"jumping", Jumping(30), 0, 0, true},
  };
  for (const PaceCase& c : cases) {
    const Series s = Build({c.name, 4096, 100.0f, c.period}, 1);
    std::vector<float> out(s.prices.size());
    WindowSumProbe probe(s.prices.data());
    BarLoop(s.periods.data(), static_cast<std::int32_t>(s.prices.size()), out.data(), probe);
    EXPECT_GE(probe.paces[static_cast<int>(Pace::Uniform)], c.uniform) << c.name;
    EXPECT_GE(probe.paces[static_cast<int>(Pace::Drifting)], c.drifting) << c.name;
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
    const std::vector<float> want = RunPlain(routine.plain, s.prices, s.periods);
    const std::vector<float> got = RunOver(routine.run, s.prices, s.periods);
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < got.size(); ++i)
      mismatches += Bits(got[i]) != Bits(want[i]);
    EXPECT_EQ(mismatches, 0u) << routine.name;
  }
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

}  // namespace
}  // namespace tessaryn::test
