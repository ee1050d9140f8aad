// Seeded series built to find where a fast path could part from the plain definition:
// exact sums and sums that must fall back, steady and restless periods, long series where a
// running sum could drift. Shared by the differential and the stream tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace tessaryn::test {

using PeriodPattern = std::function<float(int bar, std::mt19937& rng)>;

struct DifferentialCase {
  std::string name;
  int bars;
  float level;  // prices walk around it in steps of 1% of it (0: around zero, steps of 1)
  PeriodPattern period;
  std::function<void(std::vector<float>&)> disturb = nullptr;  // then alter prices
};

inline Series Build(const DifferentialCase& c, unsigned seed) {
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

inline PeriodPattern Constant(float p) {
  return [p](int, std::mt19937&) { return p; };
}
inline PeriodPattern Drifting(float centre, float swing) {  // a new period about every bar
  return [=](int bar, std::mt19937&) {
    return std::round(centre + swing * std::sin(static_cast<float>(bar) * 0.05f));
  };
}
inline PeriodPattern Jumping(int longest) {
  return [=](int, std::mt19937& rng) {
    return static_cast<float>(std::uniform_int_distribution<int>(1, longest)(rng));
  };
}
inline PeriodPattern Halves(int longest) {
  return [=](int, std::mt19937& rng) {
    return static_cast<float>(std::uniform_int_distribution<int>(2, 2 * longest)(rng)) / 2.0f;
  };
}
inline PeriodPattern Ramp(float start, int every, int step) {  // `step` bars longer every `every`
  return [=](int bar, std::mt19937&) { return start + static_cast<float>(bar / every * step); };
}
inline PeriodPattern Alternating(float a, float b) {
  return [=](int bar, std::mt19937&) { return bar % 2 == 0 ? a : b; };
}
inline PeriodPattern Jitter(int centre) {  // centre - 1, centre or centre + 1 at random
  return [=](int, std::mt19937& rng) {
    return static_cast<float>(centre - 1 + std::uniform_int_distribution<int>(0, 2)(rng));
  };
}
inline PeriodPattern Steps(int every, std::vector<float> periods) {  // each for `every` bars
  return [=](int bar, std::mt19937&) { return periods[(bar / every) % periods.size()]; };
}
inline PeriodPattern RandomWalk(int lowest, int highest) {  // steps of -3 .. 3
  return [=, walk = (lowest + highest) / 2](int, std::mt19937& rng) mutable {
    walk += std::uniform_int_distribution<int>(-3, 3)(rng);
    walk = std::clamp(walk, lowest, highest);
    return static_cast<float>(walk);
  };
}
inline PeriodPattern BarIndexOrOne() {  // windows from the first bar, every other bar
  return [](int bar, std::mt19937&) { return bar % 2 == 0 ? 1.0f : static_cast<float>(bar); };
}
inline PeriodPattern WithGaps(PeriodPattern inner) {  // every 7th bar out of contract or too long
  return [=](int bar, std::mt19937& rng) {
    const float odd[] = {0.0f, -3.0f, std::numeric_limits<float>::quiet_NaN(), 1e9f};
    return bar % 7 == 3 ? odd[(bar / 7) % 4] : inner(bar, rng);
  };
}
inline std::function<void(std::vector<float>&)> At(std::vector<std::size_t> bars, float value) {
  return [=](std::vector<float>& prices) {
    for (const std::size_t i : bars)
      prices[i] = value;
  };
}
inline std::function<void(std::vector<float>&)> From(std::size_t bar, int stride, float value) {
  return [=](std::vector<float>& prices) {
    for (std::size_t i = bar; i < prices.size(); i += stride)
      prices[i] = value;
  };
}
// Prices just below 2, so that window sums of a few hundred of them pass 1024.
inline void NearTwo(std::vector<float>& prices) {
  for (std::size_t i = 0; i < prices.size(); ++i) {
    prices[i] = 1.999f - 0.0001f * static_cast<float>(i % 7);
  }
}
inline std::function<void(std::vector<float>&)> Every(int stride, float value) {
  return [=](std::vector<float>& prices) {
    for (std::size_t i = stride / 2; i < prices.size(); i += stride)
      prices[i] = value;
  };
}

// Zero-crossing series as returns and oscillators give them (seeded): normal or
// heavy-tailed values of scale `sigma`, or a sine of period 40 with noise.
enum class Crossing { Normal, Heavy, Oscillator };
inline std::function<void(std::vector<float>&)> CrossingZero(Crossing kind, float sigma) {
  return [=](std::vector<float>& prices) {
    std::mt19937 rng(static_cast<unsigned>(prices.size()) + static_cast<unsigned>(kind));
    std::normal_distribution<double> normal(0.0, 1.0);
    std::student_t_distribution<double> heavy(4.0);
    for (std::size_t i = 0; i < prices.size(); ++i) {
      const double wave = std::sin(static_cast<double>(i) * 0.15707963);
      prices[i] = static_cast<float>(kind == Crossing::Normal  ? sigma * normal(rng)
                                     : kind == Crossing::Heavy ? sigma * heavy(rng)
                                                               : wave + sigma * normal(rng));
    }
  };
}
// Then values of magnitude 2^-exponent at the given bars: each decides the unit of the
// windows holding it, some of which stay within the run-sum bound and some not.
inline std::function<void(std::vector<float>&)> WithSmall(
    std::function<void(std::vector<float>&)> series, std::vector<std::pair<std::size_t, int>> at) {
  return [=](std::vector<float>& prices) {
    series(prices);
    for (const auto& [bar, exponent] : at)
      prices[bar] = std::ldexp(bar % 2 ? -1.3f : 1.7f, -exponent);
  };
}

inline const DifferentialCase kCases[] = {
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
    // Zero-crossing series: windows judged by the range of their run sums, one group at a
    // time where a small value makes some of them fail.
    {"returns with small values, period 1750", 7000, 0.0f, Constant(1750),
     WithSmall(CrossingZero(Crossing::Normal, 0.01f),
               {{2100, 26}, {3300, 29}, {4000, 31}, {5200, 33}, {5201, 35}})},
    {"heavy-tailed returns with small values, drifting", 6000, 0.0f, Drifting(500, 300),
     WithSmall(CrossingZero(Crossing::Heavy, 0.008f), {{1500, 27}, {2500, 30}, {4100, 34}})},
    {"oscillator with small values, jumping", 4000, 0.0f, Jumping(700),
     WithSmall(CrossingZero(Crossing::Oscillator, 0.3f), {{1000, 21}, {2000, 25}, {3000, 28}})},
    {"returns, period 300 with gaps", 4000, 0.0f, WithGaps(Constant(300)),
     WithSmall(CrossingZero(Crossing::Normal, 1.0f), {{700, 22}, {1900, 26}, {2600, 20}})},
    // Periods that move on almost every bar, as adaptive periods do.
    {"level 100, alternating 14 / 28", 5000, 100.0f, Alternating(14, 28)},
    {"level 100, jitter about 20", 5000, 100.0f, Jitter(20)},
    {"level 40, steps of 50 bars", 5000, 40.0f, Steps(50, {10, 20, 30, 40})},
    {"level 7, random walk of periods", 6000, 7.0f, RandomWalk(5, 200)},
    {"level 100, halves and ones", 5000, 100.0f, Steps(10, {200, 100, 1, 100.5f, 50})},
    {"level 100, windows from the first bar", 3000, 100.0f, BarIndexOrOne()},
    {"level 100, jumping with gaps", 5000, 100.0f, WithGaps(Jumping(260))},
    {"zero-crossing returns, alternating 3 / 300", 4000, 0.0f, Alternating(3, 300),
     CrossingZero(Crossing::Normal, 1.0f)},
    {"oscillator, jitter about 100", 4000, 0.0f, Jitter(100),
     CrossingZero(Crossing::Oscillator, 1.0f)},
    {"level 1 with values 2^-22, alternating 20 / 220", 6000, 1.0f, Alternating(20, 220),
     Every(97, 1.0f + 0x1p-22f)},
};

}  // namespace tessaryn::test
