// Period sequences as users hand them to the routines, seeded: a period that stays put
// beside ones that move on almost every bar.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace tessaryn::bench {

enum class PeriodKind {
  Constant,     // 20 throughout
  Sine,         // an adaptive period, a smooth sine between 10 and 40
  Jitter,       // 19, 20 or 21 at random each bar
  Random,       // 5 .. 200 at random each bar
  RandomWalk,   // a walk of steps -3 .. 3 between 5 and 200
  Alternating,  // 14, 28, 14, ...
  Steps,        // 50 bars each of 10, 20, 30, 40, then again
  Halving,      // 200 and 100 in turn every 10 bars, then 1 for a bar: halves and empty bars
  BarIndex,     // 1 and the bar's own index in turn: windows from the first bar
};
inline constexpr PeriodKind kPeriodKinds[] = {
    PeriodKind::Constant, PeriodKind::Sine,       PeriodKind::Jitter,
    PeriodKind::Random,   PeriodKind::RandomWalk, PeriodKind::Alternating,
    PeriodKind::Steps,    PeriodKind::Halving,    PeriodKind::BarIndex};

inline const char* PeriodKindName(PeriodKind kind) {
  constexpr const char* names[] = {"constant",    "sine",  "jitter",  "random",  "walk",
                                   "alternating", "steps", "halving", "barindex"};
  return names[static_cast<int>(kind)];
}

inline std::vector<float> PeriodSequence(PeriodKind kind, std::int32_t count) {
  std::mt19937 rng(11 + static_cast<unsigned>(kind));
  std::vector<float> periods(static_cast<std::size_t>(count));
  int walk = 50;
  for (std::int32_t i = 0; i < count; ++i) {
    float p = 20.0f;
    switch (kind) {
      case PeriodKind::Constant:
        break;
      case PeriodKind::Sine:
        p = static_cast<float>(25.0 + 15.0 * std::sin(2.0 * 3.141592653589793 * i / 300.0));
        break;
      case PeriodKind::Jitter:
        p = static_cast<float>(19 + static_cast<int>(rng() % 3));
        break;
      case PeriodKind::Random:
        p = static_cast<float>(5 + static_cast<int>(rng() % 196));
        break;
      case PeriodKind::RandomWalk:
        walk += static_cast<int>(rng() % 7) - 3;
        walk = walk < 5 ? 10 - walk : walk > 200 ? 400 - walk : walk;
        p = static_cast<float>(walk);
        break;
      case PeriodKind::Alternating:
        p = i % 2 == 0 ? 14.0f : 28.0f;
        break;
      case PeriodKind::Steps:
        p = static_cast<float>(10 * (1 + (i / 50) % 4));
        break;
      case PeriodKind::Halving:
        p = i % 21 == 20 ? 1.0f : (i / 10) % 2 == 0 ? 200.0f : 100.0f;
        break;
      case PeriodKind::BarIndex:
        p = i % 2 == 0 ? 1.0f : static_cast<float>(i);
        break;
    }
    periods[static_cast<std::size_t>(i)] = p;
  }
  return periods;
}

}  // namespace tessaryn::bench
