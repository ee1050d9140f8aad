#include "filters/run_sums.h"

#include <algorithm>
#include <bit>
#include <cstring>

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
  partsExact = partsExact && next.RangeBounded();
  magnitudes.Add(next.magnitudes);
  const double high = sum + next.highest;
  const double low = sum + next.lowest;
  sum += next.sum;
  highest = std::max({highest, high, sum});
  lowest = std::min({lowest, low, sum});
}

bool RunSums::Span::RangeBounded() const noexcept {
  const double bound = Bound(magnitudes.Unit());
  return magnitudes.Top() - magnitudes.Unit() <= GainExponents && magnitudes.Finite() &&
         partsExact && highest < bound && -lowest < bound && highest - lowest < bound;
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
  for (int r = 0; r < 4; ++r) {
    block.partsExact = block.partsExact && high[r] < bound && -low[r] < bound;
    const double highest = block.sum + high[r];
    const double lowest = block.sum + low[r];
    block.sum += sum[r];
    block.highest = std::max({block.highest, highest, block.sum});
    block.lowest = std::min({block.lowest, lowest, block.sum});
  }
  return block;
}

const RunSums::Span& RunSums::BlockAt(PriceSeries prices, std::int32_t block) noexcept {
  Kept& kept = blocks_[block % KeptBlocks];
  if (kept.block != block) {
    kept.span = BlockSpan(prices + std::int64_t{block} * BlockBars);
    kept.block = block;
  }
  return kept.span;
}

bool RunSums::Covers(std::int32_t from, std::int32_t to) const noexcept {
  return beforeFrom_ <= from && from <= pivot_ && pivot_ <= to && to - beforeFrom_ <= KeptBlocks;
}

void RunSums::Pivot(PriceSeries prices, std::int32_t from, std::int32_t to) noexcept {
  pivot_ = std::max(from, to - ChunkBlocks);
  beforeFrom_ = from;
  afterTo_ = pivot_;
  Span span;
  for (std::int32_t b = pivot_ - 1; b >= from; --b) {
    Span joined = BlockAt(prices, b);
    joined.Add(span);
    span = joined;
    before_[b % KeptBlocks] = span;
  }
}

void RunSums::Reach(PriceSeries prices, std::int32_t to) noexcept {
  for (; afterTo_ < to; ++afterTo_) {
    Span span = afterTo_ > pivot_ ? after_[(afterTo_ - 1) % KeptBlocks] : Span{};
    span.Add(BlockAt(prices, afterTo_));
    after_[afterTo_ % KeptBlocks] = span;
  }
}

RunSums::Span RunSums::Of(PriceSeries prices, std::int32_t lo, std::int32_t hi) noexcept {
  // Whole blocks [from, to): from the first boundary at or after lo, up to the last that
  // ends by hi; the prices before and after them one by one.
  const auto from = static_cast<std::int32_t>((std::int64_t{lo} + BlockBars - 1) / BlockBars);
  const auto to = static_cast<std::int32_t>((std::int64_t{hi} + 1) / BlockBars);
  if (!ready_) {
    Forget();
  }
  Span span;
  if (from >= to) {
    span.Add(prices + lo, hi - lo + 1);
    return span;
  }
  span.Add(prices + lo, from * BlockBars - lo);
  if (to - from > KeptBlocks) {  // longer than what is kept: block by block
    for (std::int32_t b = from; b < to; ++b) {
      span.Add(BlockAt(prices, b));
    }
  } else {
    if (!Covers(from, to)) {
      Pivot(prices, from, to);
    }
    Reach(prices, to);
    if (from < pivot_) {
      span.Add(before_[from % KeptBlocks]);
    }
    if (to > pivot_) {
      span.Add(after_[(to - 1) % KeptBlocks]);
    }
  }
  span.Add(prices + std::int64_t{to} * BlockBars, hi + 1 - to * BlockBars);
  return span;
}

void RunSums::Forget(std::int32_t place) noexcept {
  const std::int32_t block = place / BlockBars;
  Kept& kept = blocks_[block % KeptBlocks];
  if (ready_ && kept.block == block) {
    kept.block = -1;
  }
  if (beforeFrom_ <= block && block < afterTo_) {
    beforeFrom_ = pivot_ = afterTo_ = 0;
  }
}

void RunSums::Forget() noexcept {
  for (std::int32_t k = 0; k < KeptBlocks; ++k) {
    blocks_[k].block = -1;
  }
  ready_ = true;
  beforeFrom_ = pivot_ = afterTo_ = 0;
}

}  // namespace tessaryn
