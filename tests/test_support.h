// Helpers shared by the tests: the routines as a table, bit views and seeded series.
#pragma once

#include <tessaryn.h>

#include <bit>
#include <cstdint>
#include <iterator>
#include <random>
#include <vector>

#include "plain_filters.h"

namespace tessaryn::test {

using Routine = void(TESSARYN_CALL*)(const float*, const float*, std::int32_t, float*);

struct NamedRoutine {
  const char* name;
  Routine run;
  Plain plain;  // the reference it must match
  int ordinal;  // in Tessaryn.dll
};

// One row per routine, from the table the Windows host and the CMake checks read too.
inline constexpr NamedRoutine kRoutines[] = {
#define TESSARYN_ROUTINE(name, ordinal, plain) {#name, &::name, Plain::plain, ordinal},
#include "routines.inc"
#undef TESSARYN_ROUTINE
};

constexpr bool InOrdinalOrder() {
  for (std::size_t r = 0; r < std::size(kRoutines); ++r) {
    if (kRoutines[r].ordinal != static_cast<int>(r) + 1) {
      return false;
    }
  }
  return true;
}
static_assert(InOrdinalOrder(), "routines.inc lists the routines by ordinal, from 1");

inline std::uint32_t Bits(float value) {
  return std::bit_cast<std::uint32_t>(value);
}

inline std::uint64_t Bits(double value) {
  return std::bit_cast<std::uint64_t>(value);
}

// The empty-bar marker is part of the interface: exactly this bit pattern (3.4E+38f).
inline bool IsEmpty(float value) {
  return Bits(value) == 0x7F7FC99Eu;
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
