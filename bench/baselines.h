// Loops that bound what the filters can reach on this machine, timed beside them.
#pragma once

#include <cstdint>

namespace tessaryn::bench {

// Memory streaming: out[i] = a[i] + b[i].
void StreamAdd(const float* a, const float* b, std::int32_t count, float* out);

// A simple moving average over a constant period with a running sum.
void RunningSumAverage(const float* prices, std::int32_t period, std::int32_t count, float* out);

// The cycle's serial chain alone, hp = k * d + a * hp with constant k and a.
void BareRecurrence(const float* prices, std::int32_t count, float* out);

// The trend line as defined, every window summed afresh (the tests' plain reference): P
// additions per bar.
void FreshSumTrend(const float* prices, const float* periods, std::int32_t count, float* out);

}  // namespace tessaryn::bench
