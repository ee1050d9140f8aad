// The library's batch routines by number, as the Python package names them, and the marker
// they write on bars that are not computed.
#pragma once

#include <tessaryn.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>

namespace tessaryn::python {

using RoutineFunction = void(TESSARYN_CALL*)(const float* prices, const float* periods,
                                             std::int32_t count, float* out);

// The indicators of the library's table (filters/indicators.inc), by number in its order:
// 0 trend, 1 cycle, 2 model.
inline constexpr RoutineFunction kRoutines[] = {
#define TESSARYN_INDICATOR(Routine, Ordinal, Step, output, function, Plain) &::Routine,
#include "filters/indicators.inc"
#undef TESSARYN_INDICATOR
};
inline constexpr int kRoutineCount = static_cast<int>(std::size(kRoutines));
static_assert(kRoutineCount == 3, "TessarynIndicators fills trend, cycle and model");

// Their names, in the same order: the Python function and the name of its values.
struct IndicatorNames {
  const char* function;
  const char* output;
  const char* routine;
};
inline constexpr IndicatorNames kIndicatorNames[] = {
#define TESSARYN_INDICATOR(Routine, Ordinal, Step, output, function, Plain) \
  {#function, #output, #Routine},
#include "filters/indicators.inc"
#undef TESSARYN_INDICATOR
};

inline constexpr std::uint32_t kEmptyBits = TESSARYN_EMPTY_BITS;
inline constexpr float kEmpty = std::bit_cast<float>(kEmptyBits);

// NaN over every bar that holds the marker. Only prices near 3.4E+38 could make a computed
// bar equal it; such a bar reads as empty too, which the docstrings say.
inline void MarkEmptyAsNaN(float* out, std::size_t count) {
  constexpr float nan = std::numeric_limits<float>::quiet_NaN();
  for (std::size_t bar = 0; bar < count; ++bar) {
    out[bar] = out[bar] == kEmpty ? nan : out[bar];
  }
}

}  // namespace tessaryn::python
