#include "filters/dispatch.h"

#include <atomic>

#if defined(TESSARYN_FOUR_BAR_LOOP)
#include <cpuid.h>
#endif

namespace tessaryn {

namespace {

// 0 until the first call asks the processor. Threads that race there all store the same
// answer, so relaxed loads and stores suffice.
std::atomic<std::int32_t> widest{0};
std::atomic<std::int32_t> limit{static_cast<std::int32_t>(Lanes::Four)};

#if defined(TESSARYN_FOUR_BAR_LOOP)
// AVX2 runs where the processor has it and the system saves the wide registers across
// context switches (OSXSAVE set, XCR0 keeping the SSE and AVX state).
bool RunsAvx2() noexcept {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid_max(0, nullptr) < 7 || !__get_cpuid(1, &a, &b, &c, &d)) {
    return false;
  }
  const bool osxsave = (c & bit_OSXSAVE) != 0;
  const bool avx = (c & bit_AVX) != 0;
  if (!osxsave || !avx) {
    return false;
  }
  unsigned low = 0, high = 0;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  if ((low & 0x6) != 0x6) {
    return false;
  }
  __cpuid_count(7, 0, a, b, c, d);
  return (b & bit_AVX2) != 0;
}
#endif

Lanes Detect() noexcept {
#if defined(TESSARYN_FOUR_BAR_LOOP)
  if (RunsAvx2()) {
    return Lanes::Four;
  }
#endif
  return Lanes::Two;
}

}  // namespace

Lanes WidestLanes() noexcept {
  std::int32_t lanes = widest.load(std::memory_order_relaxed);
  if (lanes == 0) {
    lanes = static_cast<std::int32_t>(Detect());
    widest.store(lanes, std::memory_order_relaxed);
  }
  return static_cast<Lanes>(lanes);
}

Lanes ChosenLanes() noexcept {
  const auto lanes = static_cast<std::int32_t>(WidestLanes());
  const std::int32_t most = limit.load(std::memory_order_relaxed);
  return static_cast<Lanes>(lanes < most ? lanes : most);
}

void LimitLanes(Lanes most) noexcept {
  limit.store(static_cast<std::int32_t>(most), std::memory_order_relaxed);
}

}  // namespace tessaryn
