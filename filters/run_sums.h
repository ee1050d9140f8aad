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
// formed is compared with the bound, strictly, so a rounded R is never trusted. Spans are
// joined from the spans of runs within them (below), each summed from its own start: its
// values are run sums too, exact when they pass its own bound, which the joined span's check
// does not imply; a run that does not pass marks the joined span with an infinite highest,
// which no bound passes and every later join keeps.
//
// Prices are taken 64 at a time, a block, and blocks 4 at a time, a cell. What is kept is
// small enough for a routine's stack (a thread's stack may be 16 KiB): spans of whole cells,
// about the pivot as in a queue of two stacks. Cells before the pivot keep their span up to
// it, cells after it their own span, so the windows of a series, moving forward, cost a few
// joins each however long they are, and each block is summed once: when the windows pass the
// pivot, the cells after it turn into spans up to a new pivot, by joins. The cells are laid
// from where a span starts when nothing kept serves it, and the windows of a series move a
// cell from chunk to chunk: at a steady period their spans start on cells. Besides the cells:
// the last 16 blocks' own spans, the spans from the pivot to the end of each of the last 4
// cells, and for the one cell a window last started inside, the spans from its inner blocks.
#pragma once

#include <cstdint>

#include "filters/exact_sum.h"
#include "filters/filters.h"

namespace tessaryn {

class RunSums {
 public:
  // A run of prices from its start: their exponents, and their prefix sums' total, highest
  // and lowest (the empty prefix, 0, among them). Highest is infinite when some value formed
  // on the way may have rounded.
  struct Span {
    ExponentSpan magnitudes;
    double sum = 0.0;
    double highest = 0.0;
    double lowest = 0.0;

    // Takes in the next `count` prices.
    void Add(PriceSeries prices, std::int32_t count) noexcept;
    // Takes in the run that follows; every value formed goes into highest or lowest, so a
    // rounded one is never missed, and a run not bounded on its own marks this one.
    void Add(const Span& next) noexcept;
    // True when every price is finite, the range of the prefix sums and every value formed
    // are below 2^53 units of the smallest nonzero magnitude, and the largest exponent is at
    // most 27 above that unit's (and so every value formed was exact).
    bool RangeBounded() const noexcept;
  };

  // The span of prices[lo .. hi]: the prices outside whole blocks one by one, the blocks from
  // what is kept (spans longer than it, block by block).
  Span Of(PriceSeries prices, std::int32_t lo, std::int32_t hi) noexcept;

  // Forgets what it learned of the prices: they moved or changed (a stream's buffer).
  void Forget() noexcept;
  // Forgets what it learned of the price at `place` (a stream revised it).
  void Forget(std::int32_t place) noexcept;

  static constexpr std::int32_t BlockBars = 64;

 private:
  // A chunk of bars: from chunk to chunk, the windows move on by a cell.
  static constexpr std::int32_t CellBlocks = 4;
  static constexpr std::int32_t KeptCells = 56;
  // A short window's blocks, so that a span starting inside a cell rarely sums one again.
  static constexpr std::int32_t KeptBlocks = 16;
  // The spans judged within a chunk end in its last two cells.
  static constexpr std::int32_t KeptPrefixes = 4;
  // The most blocks a span may cover and be served from what is kept: its cells all fit.
  static constexpr std::int32_t LongestKept = CellBlocks * (KeptCells - 1);

  // Room for spans, left uninitialized: a routine's call costs nothing until a chunk needs
  // the run sums, and then each span is written before it is read.
  template <int N>
  struct Room {
    union {
      Span at[N];
    };
    Room() noexcept {}
    Span& operator[](std::int32_t k) noexcept { return at[k % N]; }
    const Span& operator[](std::int32_t k) const noexcept { return at[k % N]; }
  };

  static Span BlockSpan(PriceSeries prices) noexcept;
  // Block b's span: kept, or summed again.
  Span BlockAt(PriceSeries prices, std::int32_t b) const noexcept;
  // The first block of cell c.
  std::int32_t Start(std::int32_t c) const noexcept { return origin_ + c * CellBlocks; }
  // The cell that holds block b (b at or after origin_).
  std::int32_t CellOf(std::int32_t b) const noexcept { return (b - origin_) / CellBlocks; }
  std::int32_t DoneCells() const noexcept { return CellOf(reached_); }

  // Readies what is kept for blocks [from, to); false when it cannot serve them.
  bool Prepare(PriceSeries prices, std::int32_t from, std::int32_t to) noexcept;
  // Starts again from block `from`, with nothing before the pivot.
  void Restart(std::int32_t from) noexcept;
  // Takes in the blocks up to `to`.
  void Reach(PriceSeries prices, std::int32_t to) noexcept;
  // Moves the pivot forward to cell p: cells [first, p) turn into spans up to it.
  void Pivot(std::int32_t first, std::int32_t p) noexcept;
  // Writes prefixes_[c], from c - 1's when that is kept, else from the cells' own spans.
  void Prefix(std::int32_t c) noexcept;
  // The span of blocks [from, pivot), from before the pivot.
  const Span& Before(PriceSeries prices, std::int32_t from) noexcept;

  // cells_[c]: of cells [c, pivotCell_) for c in [frontCell_, pivotCell_); cell c's own
  // for c in [pivotCell_, DoneCells()).
  Room<KeptCells> cells_;
  Room<KeptBlocks> blocks_;      // blocks_[b]: block b's own, for b in [blockFrom_, reached_)
  Room<KeptPrefixes> prefixes_;  // prefixes_[c]: of cells [pivotCell_, c], c from prefixFrom_
  Room<CellBlocks - 1> inCell_;  // inCell_[k]: of blocks [Start(innerCell_) + 1 + k, pivot)
  std::int32_t origin_ = 0;      // cell 0's first block
  std::int32_t frontCell_ = 0;
  std::int32_t pivotCell_ = 0;
  std::int32_t reached_ = 0;  // blocks [Start(pivotCell_), reached_) taken in
  std::int32_t blockFrom_ = 0;
  std::int32_t prefixFrom_ = 0;
  std::int32_t innerCell_ = -1;  // -1 for none
};

// A routine holds its RunSums on its stack, and the routines run on threads whose stack may be
// 16 KiB (PTHREAD_STACK_MIN): what is kept stays within 2.5 KiB.
static_assert(sizeof(RunSums) <= 2560);

}  // namespace tessaryn
