// The last chunks of the largest count a caller can pass, 2^31 - 1 bars: no index may
// overflow on the way. The arrays are reserved in full but only their tail is ever touched,
// and the loop starts near the end, as if the bars before it were empty.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "filters/dispatch.h"
#include "test_support.h"

namespace tessaryn::test {
namespace {

constexpr std::int32_t kCount = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kTail = 3000;    // bars run, up to the last
constexpr std::int32_t kLongest = 200;  // longest period, and the look-back read before them
constexpr std::int32_t kStart = kCount - kTail;

// kCount floats of address space, none of it backed until written.
class HugeArray {
 public:
  HugeArray() {
    void* p = mmap(nullptr, Bytes(), PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    data_ = p == MAP_FAILED ? nullptr : static_cast<float*>(p);
  }
  ~HugeArray() {
    if (data_)
      munmap(data_, Bytes());
  }
  HugeArray(const HugeArray&) = delete;
  HugeArray& operator=(const HugeArray&) = delete;
  float* data() const { return data_; }

 private:
  static std::size_t Bytes() { return std::size_t{kCount} * sizeof(float); }
  float* data_;
};

// The last kTail bars of kCount through the step's bar loop at the chosen width, from the
// state a series starts with (the bars before are all empty).
template <class Step>
std::vector<float> TailOf(const HugeArray& prices, const HugeArray& periods, HugeArray& out) {
  Step step(prices.data());
  StepState<Step> state;
  RunBars(step, state, kStart, kTail, periods.data() + kStart, OwnOutput{out.data() + kStart});
  return {out.data() + kStart, out.data() + kCount};
}

TEST(LargestCount, LastChunksOfTwoToTheThirtyOneBarsMatchThePlainDefinition) {
  HugeArray prices, periods, out;
  ASSERT_TRUE(prices.data() && periods.data() && out.data()) << "cannot reserve the arrays";
  // The reference sees the tail with kLongest bars before it whose periods are invalid: its
  // histories start at zero there too, and every window it reads lies inside it.
  const Series tail = RandomSeries(31, kTail + kLongest, 100.0f, kLongest / 2);
  std::vector<float> referencePeriods = tail.periods;
  std::mt19937 rng(5);
  for (std::int32_t j = 0; j < kTail + kLongest; ++j) {
    if (j < kLongest) {
      referencePeriods[j] = 0.0f;
    } else if (j % 1000 < 500) {  // steady and drifting stretches, so every path runs
      referencePeriods[j] = j % 1000 < 250 ? 50.0f : static_cast<float>(40 + j % 7);
    }
    prices.data()[kStart - kLongest + j] = tail.prices[j];
    periods.data()[kStart - kLongest + j] = referencePeriods[j];
  }
  AtEveryWidth([&](Lanes lanes) {
    // Each indicator of the table, in its order, as kRoutines lists them.
    const std::vector<float> results[] = {
#define TESSARYN_INDICATOR(Routine, Ordinal, Step, output, function, Plain) \
  TailOf<Step>(prices, periods, out),
#include "filters/indicators.inc"
// then the tests' own, as kRoutines lists them
#include "extra_indicators.inc"
#undef TESSARYN_INDICATOR
    };
    static_assert(std::size(results) == std::size(kRoutines));
    for (std::size_t r = 0; r < std::size(kRoutines); ++r) {
      const std::vector<float> want = kRoutines[r].plain(tail.prices, referencePeriods);
      for (std::int32_t t = 0; t < kTail; ++t) {
        ASSERT_EQ(Bits(results[r][t]), Bits(want[kLongest + t]))
            << kRoutines[r].name << " at " << WidthName(lanes) << ", bar "
            << std::int64_t{kStart} + t;
      }
    }
  });
}

}  // namespace
}  // namespace tessaryn::test
