#include "filters/run_sums.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace tessaryn {

namespace {

// 2^53 units of 2^(unit - 150): a double for every unit up to 255 (no nonzero price).
double Bound(int unit) noexcept {
  return std::bit_cast<double>(static_cast<std::uint64_t>(unit - 97 + 1023) << 52);
}

// One price more on a run's prefix sums, for one run (double) or several in lanes.
template <class V>
inline void TakeIn(V& sum, V& highest, V& lowest, const V& price) noexcept {
  sum += price;
  highest = sum > highest ? sum : highest;
  lowest = sum < lowest ? sum : lowest;
}

// The slide's gain, up to three prices, stays below 2^53 units (see run_sums.h).
constexpr int GainExponents = 27;

// The highest prefix sum of a span some of whose values may have rounded: no bound passes it,
// and every span joined from it keeps it (a sum of finite prices plus it, and the largest).
constexpr double Unbounded = std::numeric_limits<double>::infinity();

}  // namespace

void RunSums::Span::Add(PriceSeries prices, std::int32_t count) noexcept {
  if (count <= 0) {
    return;
  }
  magnitudes.Add(prices, 0, count - 1);
  double s = sum;
  double high = highest;
  double low = lowest;
  for (std::int32_t k = 0; k < count; ++k) {
    TakeIn(s, high, low, static_cast<double>(prices[k]));
  }
  sum = s;
  highest = high;
  lowest = low;
}

void RunSums::Span::Add(const Span& next) noexcept {
  // A run whose values may have rounded (judged by its own unit, no smaller than the
  // joined one's) may hold highest and lowest that pass the joined bound all the same.
  const bool bounded = next.RangeBounded();
  magnitudes.Add(next.magnitudes);
  const double high = sum + next.highest;
  const double low = sum + next.lowest;
  sum += next.sum;
  highest = bounded ? std::max({highest, high, sum}) : Unbounded;
  lowest = std::min({lowest, low, sum});
}

bool RunSums::Span::RangeBounded() const noexcept {
  const double bound = Bound(magnitudes.Unit());
  return magnitudes.Top() - magnitudes.Unit() <= GainExponents && magnitudes.Finite() &&
         highest < bound && -lowest < bound && highest - lowest < bound;
}

// A block's exponents, and its prefix sums as four runs of 16 side by side: each run its own
// chain of additions, in one lane of four, then the runs joined. Each run's values lie
// between its highest and lowest, which are checked against the block's unit: so when the
// block passes, every value formed was exact. Written with the compiler's vectors.
RunSums::Span RunSums::BlockSpan(PriceSeries prices) noexcept {
  using Floats = float __attribute__((vector_size(16)));
  using Bits = std::int32_t __attribute__((vector_size(16)));
  using Doubles = double __attribute__((vector_size(32)));
  constexpr int Length = BlockBars / 4;
  Doubles sum = {};
  Doubles high = {};
  Doubles low = {};
  Bits largest = {};
  Bits smallest = Bits{} + 0x7FFFFFFF;
  for (int k = 0; k < Length; k += 4) {
    Floats run[4];  // prices k .. k + 3 of each run
    for (int r = 0; r < 4; ++r) {
      std::memcpy(&run[r], prices + r * Length + k, sizeof(Floats));
      const Bits magnitude = std::bit_cast<Bits>(run[r]) & 0x7FFFFFFF;
      largest = magnitude > largest ? magnitude : largest;
      const Bits nonzero = magnitude == 0 ? Bits{} + 0x7FFFFFFF : magnitude;  // zeros take no part
      smallest = nonzero < smallest ? nonzero : smallest;
    }
    for (int j = 0; j < 4; ++j) {
      const Floats next = {run[0][j], run[1][j], run[2][j], run[3][j]};
      TakeIn(sum, high, low, __builtin_convertvector(next, Doubles));
    }
  }
  Span block;
  for (int r = 0; r < 4; ++r) {
    block.magnitudes.AddBits(largest[r], smallest[r]);
  }
  const double bound = Bound(block.magnitudes.Unit());
  bool bounded = true;  // every run's values exact
  for (int r = 0; r < 4; ++r) {
    bounded = bounded && high[r] < bound && -low[r] < bound;
    const double highest = block.sum + high[r];
    const double lowest = block.sum + low[r];
    block.sum += sum[r];
    block.highest = std::max({block.highest, highest, block.sum});
    block.lowest = std::min({block.lowest, lowest, block.sum});
  }
  if (!bounded) {
    block.highest = Unbounded;
  }
  return block;
}

RunSums::Span RunSums::BlockAt(PriceSeries prices, std::int32_t b) const noexcept {
  return b >= blockFrom_ && b < reached_ ? blocks_[b]
                                         : BlockSpan(prices + std::int64_t{b} * BlockBars);
}

void RunSums::Restart(std::int32_t from) noexcept {
  origin_ = from;
  frontCell_ = 0;
  pivotCell_ = 0;
  reached_ = from;
  blockFrom_ = from;
  prefixFrom_ = 0;
  innerCell_ = -1;
}

void RunSums::Reach(PriceSeries prices, std::int32_t to) noexcept {
  while (reached_ < to) {
    blocks_[reached_] = BlockSpan(prices + std::int64_t{reached_} * BlockBars);
    ++reached_;
    blockFrom_ = std::max(blockFrom_, reached_ - KeptBlocks);
    if ((reached_ - origin_) % CellBlocks == 0) {
      const std::int32_t c = DoneCells() - 1;
      Span own = BlockAt(prices, Start(c));
      for (std::int32_t k = 1; k < CellBlocks; ++k) {
        own.Add(BlockAt(prices, Start(c) + k));
      }
      cells_[c] = own;
      Prefix(c);
    }
  }
}

void RunSums::Prefix(std::int32_t c) noexcept {
  Span span;
  if (c > pivotCell_ && c - 1 >= prefixFrom_) {
    span = prefixes_[c - 1];
  } else {
    for (std::int32_t d = pivotCell_; d < c; ++d) {
      span.Add(cells_[d]);
    }
  }
  span.Add(cells_[c]);
  prefixes_[c] = span;
  // Cells after c are not done: kept are those from c back, as many as there is room for.
  prefixFrom_ = prefixFrom_ > c ? c : std::max(prefixFrom_, c + 1 - KeptPrefixes);
}

void RunSums::Pivot(std::int32_t first, std::int32_t p) noexcept {
  if (first < p) {
    Span span = cells_[p - 1];
    for (std::int32_t c = p - 2; c >= first; --c) {
      Span joined = cells_[c];
      joined.Add(span);
      span = joined;
      cells_[c] = span;
    }
  }
  frontCell_ = first;
  pivotCell_ = p;
  innerCell_ = -1;
  prefixFrom_ = p;
  for (std::int32_t c = p; c < DoneCells(); ++c) {
    Prefix(c);
  }
}

bool RunSums::Prepare(PriceSeries prices, std::int32_t from, std::int32_t to) noexcept {
  if (from < Start(frontCell_) || from > reached_) {
    return false;
  }
  const std::int32_t first = CellOf(from);
  if (CellOf(std::max(reached_, to)) - first > KeptCells) {
    return false;
  }
  frontCell_ = first;  // the cells before are not asked for again
  Reach(prices, to);
  const std::int32_t last = CellOf(to);  // the cell that holds block to, or starts at it
  if (from > Start(pivotCell_)) {
    // The windows passed the pivot: it moves to the cell before `last`, so that spans that
    // end up to a cell sooner (the shorter ones judged within a chunk) still find it.
    const std::int32_t whole = CellOf(from + CellBlocks - 1);  // the first to start at or after
    if (whole > last) {
      return false;
    }
    Pivot(first, std::max(whole, last - 1));
  }
  return last >= pivotCell_ && (last == pivotCell_ || last - 1 >= prefixFrom_) &&
         (to == Start(last) || Start(last) >= blockFrom_);
}

const RunSums::Span& RunSums::Before(PriceSeries prices, std::int32_t from) noexcept {
  const std::int32_t c = CellOf(from);
  const std::int32_t start = Start(c);
  if (from == start) {
    return cells_[c];
  }
  if (innerCell_ != c) {  // the cell lies wholly before the pivot
    Span span = c + 1 < pivotCell_ ? cells_[c + 1] : Span{};
    for (std::int32_t b = start + CellBlocks - 1; b > start; --b) {
      Span joined = BlockAt(prices, b);
      joined.Add(span);
      span = joined;
      inCell_[b - start - 1] = span;
    }
    innerCell_ = c;
  }
  return inCell_[from - start - 1];
}

RunSums::Span RunSums::Of(PriceSeries prices, std::int32_t lo, std::int32_t hi) noexcept {
  // Whole blocks [from, to): from the first boundary at or after lo, up to the last that
  // ends by hi; the prices before and after them one by one.
  const auto from = static_cast<std::int32_t>((std::int64_t{lo} + BlockBars - 1) / BlockBars);
  const auto to = static_cast<std::int32_t>((std::int64_t{hi} + 1) / BlockBars);
  Span span;
  if (from >= to) {
    span.Add(prices + lo, hi - lo + 1);
    return span;
  }
  span.Add(prices + lo, from * BlockBars - lo);
  if (to - from > LongestKept) {  // longer than what is kept: block by block
    for (std::int32_t b = from; b < to; ++b) {
      span.Add(BlockAt(prices, b));
    }
  } else {
    if (!Prepare(prices, from, to)) {
      Restart(from);
      Reach(prices, to);
    }
    if (from < Start(pivotCell_)) {
      span.Add(Before(prices, from));
    }
    const std::int32_t last = CellOf(to);
    if (last > pivotCell_) {
      span.Add(prefixes_[last - 1]);
    }
    for (std::int32_t b = Start(last); b < to; ++b) {
      span.Add(blocks_[b]);
    }
  }
  span.Add(prices + std::int64_t{to} * BlockBars, hi + 1 - to * BlockBars);
  return span;
}

void RunSums::Forget(std::int32_t place) noexcept {
  const std::int32_t block = place / BlockBars;
  if (block >= reached_) {
    return;  // in nothing kept
  }
  if (block >= Start(pivotCell_)) {  // after the pivot: taken in again from it
    reached_ = block;
    return;
  }
  // Before the pivot: of the last blocks, those after it stay (a span longer than what is
  // kept reads them, whatever cell it starts in); so do the cells that start after it.
  blockFrom_ = std::max(blockFrom_, block + 1);
  if (block >= Start(frontCell_)) {
    const std::int32_t c = CellOf(block);
    frontCell_ = c + 1;
    if (innerCell_ <= c) {
      innerCell_ = -1;
    }
  }
}

void RunSums::Forget() noexcept {
  Restart(0);
}

}  // namespace tessaryn
