// The library's three batch routines by number, as the Python package names them, and the
// marker they write on bars that are not computed.
#pragma once

#include <tessaryn.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace tessaryn::python {

using RoutineFunction = void(TESSARYN_CALL*)(const float* prices, const float* periods,
                                             std::int32_t count, float* out);

// Indexed by the routine numbers the package passes in (0 trend, 1 cycle, 2 model).
inline constexpr RoutineFunction kRoutines[] = {&::ITrend, &::CyclicalComponent, &::Tessaryn};
inline constexpr int kRoutineCount = 3;

inline constexpr std::uint32_t kEmptyBits = 0x7F7FC99Eu;
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
