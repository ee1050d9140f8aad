// One call of the package: some of the routines over one or more columns of bars.
#pragma once

#include <array>
#include <cstdint>

#include "bar_columns.h"

namespace tessaryn::python {

struct Computation {
  // Routine numbers (see routines.h), routine_count of them.
  std::array<int, 3> routines{};
  int routine_count = 0;
  BarColumns prices;
  // The periods: one column shared by every price column, one column per price column, or
  // (when null) fixed_period on every bar.
  const BarColumns* periods = nullptr;
  float fixed_period = 0.0f;
  // NaN instead of the marker on bars that are not computed.
  bool nan_for_empty = true;
  // Output of routines[k]: prices.columns columns of prices.bars contiguous floats.
  std::array<float*, 3> outputs{};
};

// Runs the computation on up to `threads` threads, the calling one among them, each column
// on one thread from start to end, so that every column gets the same bits on any number of
// threads. Its buffers are allocated before any output is written (std::bad_alloc escapes
// from the calling thread only); the caller releases the GIL around it.
void Compute(const Computation& computation, int threads);

}  // namespace tessaryn::python
