// Helpers shared by the tests: the indicators as a table, their widths, bit views and seeded
// series.
#pragma once

#include <tessaryn.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <iterator>
#include <random>
#include <vector>

#include "filters/dispatch.h"
#include "filters/indicators.h"
#include "plain_filters.h"

// The first reading of the tests' own indicators: it includes their step files.
#define TESSARYN_INDICATOR(Routine, Ordinal, Step, output, function, Plain)
#include "extra_indicators.inc"
#undef TESSARYN_INDICATOR

namespace tessaryn::test {

using Routine = void(TESSARYN_CALL*)(const float*, const float*, std::int32_t, float*);
using PlainReference = std::vector<float> (*)(const std::vector<float>&, const std::vector<float>&);

struct NamedRoutine {
  const char* name;
  Routine run;
  PlainReference plain;  // the reference it must match
  int ordinal;           // in Tessaryn.dll; 0 for an indicator of the tests alone
};

// One row per indicator: the library's, from the table the entry points, the export tables
// and the bindings read, then those the tests add (extra_indicators.inc), which run as their
// step over the library's bar loop and dispatch.
inline constexpr NamedRoutine kRoutines[] = {
#define TESSARYN_INDICATOR(Routine, Ordinal, Step, output, function, Plain) \
  {#Routine, &::Routine, &Plain, Ordinal},
#include "filters/indicators.inc"
#undef TESSARYN_INDICATOR
#define TESSARYN_INDICATOR(Routine, Ordinal, Step, output, function, Plain) \
  {#Routine, &RunRoutine<Step>, &Plain, 0},
#include "extra_indicators.inc"
#undef TESSARYN_INDICATOR
};

// The widths this build runs on this machine, widest first: each suite that runs them all
// sets LimitLanes (dispatch.h) to each in turn, and lifts it after.
inline std::vector<Lanes> EveryWidth() {
  std::vector<Lanes> widths;
  for (const Lanes lanes : {Lanes::Four, Lanes::Two, Lanes::One}) {
    if (static_cast<int>(lanes) <= static_cast<int>(WidestLanes())) {
      widths.push_back(lanes);
    }
  }
  return widths;
}

inline const char* WidthName(Lanes lanes) {
  return lanes == Lanes::Four ? "four bars (AVX2)" : lanes == Lanes::Two ? "two bars" : "one bar";
}

// Runs f(lanes) at every width, the limit lifted afterwards whatever f does.
template <class F>
void AtEveryWidth(F&& f) {
  struct Lift {
    ~Lift() { LimitLanes(Lanes::Four); }
  } lift;
  for (const Lanes lanes : EveryWidth()) {
    LimitLanes(lanes);
    f(lanes);
  }
}

inline std::uint32_t Bits(float value) {
  return std::bit_cast<std::uint32_t>(value);
}

inline std::uint64_t Bits(double value) {
  return std::bit_cast<std::uint64_t>(value);
}

// The empty-bar marker is part of the interface: exactly this bit pattern (3.4E+38f).
inline bool IsEmpty(float value) {
  return Bits(value) == TESSARYN_EMPTY_BITS;
}

// Whether the first `bars` values of a and b have the same bits.
inline bool SameBits(const std::vector<float>& a, const std::vector<float>& b, std::size_t bars) {
  return std::equal(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(bars), b.begin(),
                    [](float x, float y) { return Bits(x) == Bits(y); });
}

// Output of `routine` over the whole series, in an array of exactly the series' length.
inline std::vector<float> RunOver(Routine routine, const std::vector<float>& prices,
                                  const std::vector<float>& periods) {
  std::vector<float> out(prices.size());
  routine(prices.data(), periods.data(), static_cast<std::int32_t>(prices.size()), out.data());
  return out;
}

struct Series {
  std::vector<float> prices;
  std::vector<float> periods;
};

// A seeded price walk around `level` with steps of about 1% of it, and periods from 1 to
// `longest`, halves among them, drawn afresh on every bar.
inline Series RandomSeries(unsigned seed, int count, float level, int longest) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> step(0.0f, level * 0.01f);
  std::uniform_int_distribution<int> halves(2, 2 * longest);
  Series series;
  float price = level;
  for (int bar = 0; bar < count; ++bar) {
    price += step(rng);
    series.prices.push_back(price);
    series.periods.push_back(static_cast<float>(halves(rng)) / 2.0f);
  }
  return series;
}

}  // namespace tessaryn::test
