// The package's one helper beyond the C API: its default, as in Python, shows bars that are not
// computed as NaN. Done here, where the compiler vectorises it, rather than bar by bar in
// JavaScript, which would cost as much as the routine itself.
#include <cstdint>
#include <cstring>
#include <limits>

#include "exports/tessaryn.h"

extern "C" __attribute__((used, visibility("default"))) void TessarynWasmEmptyToNaN(
    float* values, std::int32_t count) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (std::int32_t i = 0; i < count; ++i) {
    std::uint32_t bits;
    std::memcpy(&bits, values + i, sizeof bits);
    values[i] = bits == TESSARYN_EMPTY_BITS ? nan : values[i];
  }
}
