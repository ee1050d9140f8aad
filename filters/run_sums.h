// A sharper test of when the trend's sums are exact, for series that cross zero.
//
// Take the prices p[lo .. hi], all finite, and u the unit of the smallest nonzero magnitude
// among them (exact_sum.h): each is an integer multiple of u, and every multiple of u below
// 2^53 u in magnitude is a double. With C(k) = p[lo] + .. + p[k] and C(lo - 1) = 0, the sum
// of any run p[a .. b] inside the span is C(b) - C(a - 1), so its magnitude is at most the
// range R = max C - min C. Let M be the largest magnitude of a price. When R < 2^53 u and
// 3 M < 2^53 u:
//   - every run sum is a multiple of u below 2^53 u, so a double: a window summed afresh
//     newest first, and the carried sum moving its ends a price at a time, form run sums
//     only, and so does the carried sum's next value (the next window's sum);
//   - the slide's gain, (newest - leaving) - alsoLeaving, forms values of at most 2 M and
//     3 M, multiples of u below 2^53 u: doubles too.
// So when every window involved and the carried one lie inside the span, every addition is
// exact, and the carried sum has the bits of the fresh one. 3 M < 2^53 u holds when the
// largest biased exponent is at most 27 above the unit's (M < 2^(E - 126), u = 2^(U - 150)).
// For prices far from zero R is about the window's length times the price, and the exponent
// span of exact_sum.h decides as well; for returns and oscillators R grows like the square
// root of the length, and this test passes where that one fails by a factor of thousands.
//
// R is found from the prefix sums, formed in double: all are run sums, so while every one of
// them is below 2^53 u they are exact; the first that is not exact is a rounded value of
// magnitude at least 2^53 u (rounding is monotonic and 2^53 u is a double), and every value
// formed is compared with the bound, strictly, so a rounded R is never trusted. Prices are
// taken 64 at a time: a block's total and the highest and lowest of its prefix sums, found
// once and kept, give a span's range in one step per block.
#pragma once

#include <cstdint>

#include "filters/exact_sum.h"
#include "filters/filters.h"

namespace tessaryn {

class RunSums {
 public:
  // A run of prices from its start: their exponents, and their prefix sums' total, highest
  // and lowest (the empty prefix, 0, among them).
  struct Span {
    ExponentSpan magnitudes;
    double sum = 0.0;
    double highest = 0.0;
    double lowest = 0.0;
    bool partsExact = true;  // every value the spans joined into it formed was exact

    // Takes in the next `count` prices.
    void Add(PriceSeries prices, std::int32_t count) noexcept;
    // Takes in the run that follows; every value formed goes into highest or lowest, so a
    // rounded one is never missed.
    void Add(const Span& next) noexcept;
    // True when every price is finite, the range of the prefix sums and every value formed
    // are below 2^53 units of the smallest nonzero magnitude, and the largest exponent is at
    // most 27 above that unit's (and so every value formed was exact).
    bool RangeBounded() const noexcept;
  };

  // The span of prices[lo .. hi]. Whole blocks of BlockBars prices are summed once and kept,
  // and so are the spans of runs of blocks around a pivot: spans that move forward (the
  // windows of a series, bar after bar) cost a few steps each, however long.
  Span Of(PriceSeries prices, std::int32_t lo, std::int32_t hi) noexcept;

  // Forgets what it learned of the prices: they moved or changed (a stream's buffer).
  void Forget() noexcept;
  // Forgets what it learned of the price at `place` (a stream revised it).
  void Forget(std::int32_t place) noexcept;

  static constexpr std::int32_t BlockBars = 64;

 private:
  static constexpr std::int32_t KeptBlocks = 256;
  // Blocks that a chunk of bars adds: the pivot is set this far back from a span's end, so
  // that the shorter spans judged within the chunk find it.
  static constexpr std::int32_t ChunkBlocks = 4;

  struct Kept {
    Span span;
    std::int32_t block;  // which block this is; -1 for none
  };
  // Room for spans, left uninitialized: a routine's call costs nothing until a chunk needs
  // the run sums, and then each span is written before it is read.
  template <class T>
  struct Room {
    union {
      T at[KeptBlocks];
    };
    Room() noexcept {}
    T& operator[](std::int32_t k) noexcept { return at[k]; }
  };

  static Span BlockSpan(PriceSeries prices) noexcept;
  const Span& BlockAt(PriceSeries prices, std::int32_t block) noexcept;
  // Spans of blocks around pivot_ for blocks [from, to).
  bool Covers(std::int32_t from, std::int32_t to) const noexcept;
  void Pivot(PriceSeries prices, std::int32_t from, std::int32_t to) noexcept;
  void Reach(PriceSeries prices, std::int32_t to) noexcept;

  bool ready_ = false;  // blocks_ holds no stale block
  Room<Kept> blocks_;   // block b at b % KeptBlocks
  // Around the pivot: before_[b] spans blocks [b, pivot_) for b from beforeFrom_; after_[b]
  // spans blocks [pivot_, b] for b below afterTo_. Both at b % KeptBlocks.
  Room<Span> before_;
  Room<Span> after_;
  std::int32_t beforeFrom_ = 0;
  std::int32_t pivot_ = 0;
  std::int32_t afterTo_ = 0;
};

}  // namespace tessaryn
