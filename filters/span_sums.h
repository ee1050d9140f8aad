// Window sums of a span of prices whose every run sum is exact, read off its prefix sums at a
// cost that does not depend on how the windows move.
//
// Let the judge (window_judge.h) have found that every sum of a run of prices[lo .. hi] is a
// double: the exponent span of exact_sum.h admits any signed sum of hi - lo + 1 of them, or
// the range of run_sums.h bounds every run sum. Then:
//   - a run summed in any order of contiguous pieces (each piece summed price by price, the
//     pieces' totals added in order) forms run sums only, all exact: its value is the run's
//     exact sum, whatever the pieces;
//   - with P(k) the sum of prices[from .. k - 1] so formed, P(k) - P(j) for from <= j <= k is
//     the difference of two exact values whose exact difference, the run sum of
//     prices[j .. k - 1], is a double: the subtraction is exact;
//   - the fresh newest-first sum of a window inside the span forms run sums only too, so it
//     is the window's exact sum: the same value, and the same bits (no value formed here or
//     there is -0: every chain starts from +0, and x - x and x + -x are +0).
// A window that starts before the prefix sums' first price adds the run from its start to
// there, formed the same way: kept from one window to the next and from chunk to chunk, so
// that windows that keep reaching back to one old bar pay for it once.
#pragma once

#include <climits>
#include <cstdint>

#include "filters/chunk.h"
#include "filters/filters.h"
#include "filters/window_sum.h"

namespace tessaryn {

// A run from an old bar to the prices after it, kept between windows and chunks: the sum of
// prices[start .. end], exact when formed, of prices that have not changed since (the step
// forgets it when they do).
struct ReachBack {
  std::int32_t start = 0;
  std::int32_t end = -1;  // below start: none kept
  double sum = 0.0;

  // The sum of prices[from .. to], every run sum there exact: the kept run's moved
  // (MovedRunSum), each of its values exact by the judgement of the kept run or the new one.
  double To(PriceSeries prices, std::int32_t from, std::int32_t to) noexcept {
    sum = MovedRunSum(prices, sum, start, end, from, to);
    start = from;
    end = to;
    return sum;
  }

  // The prices moved `shift` places toward the front, or changed from `place` on.
  void Rebase(std::int32_t shift) noexcept {
    start -= shift;
    end -= shift;
    if (start < 0) {
      Forget();
    }
  }
  void Forget(std::int32_t place) noexcept {
    if (place <= end) {
      Forget();
    }
  }
  void Forget() noexcept { end = start - 1; }
};

// The prefix sums of prices[from .. last] for the windows of a chunk, formed from those of the
// chunk before where they reach back far enough (the same prices: a plan lives for one run of
// the bar loop).
class SpanSums {
 public:
  // The most prices a span's prefix sums cover: a chunk's bars and as many before them.
  static constexpr std::int32_t Room = 2 * ChunkBars;

  // Requires every run sum of prices[from .. last] exact, from <= first <= last, and
  // last - from < Room. With the span before ending at first - 1 and starting at or before
  // from, its sums are moved down less the sum of prices before from (the difference of two
  // exact prefix sums, itself a run sum in the new span: exact), and only the chunk's own
  // prices are added.
  void Form(PriceSeries prices, std::int32_t from, std::int32_t first, std::int32_t last) noexcept {
    std::int32_t next = from;  // the first price not yet in the sums
    if (last_ == first - 1 && from_ <= from && from <= first) {
      const std::int32_t shift = from - from_;
      const double before = prefix_[shift];
      for (std::int32_t k = 0; k <= first - from; ++k) {
        prefix_[k] = prefix_[k + shift] - before;
      }
      next = first;
    } else {
      prefix_[0] = 0.0;
    }
    from_ = from;
    last_ = last;
    Append(prices, next, last);
  }

  // The sum of the window prices[i - period + 1 .. i], i in the span: an older start adds the
  // run up to the span (`older`, which keeps it).
  double Window(PriceSeries prices, ReachBack& older, std::int32_t i,
                std::int32_t period) const noexcept {
    const std::int32_t start = i - period + 1;
    if (start >= from_) {
      return UpTo(i)[0] - Before(start);
    }
    return UpTo(i)[0] + older.To(prices, start, from_ - 1);
  }

  // The sums up to bar i and on (consecutive), and the sum before bar `start`, both in the span.
  const double* UpTo(std::int32_t i) const noexcept { return prefix_ + (i - from_ + 1); }
  double Before(std::int32_t start) const noexcept { return prefix_[start - from_]; }

  std::int32_t From() const noexcept { return from_; }

  // Its room lent for other sums (a routine's stack is small): the sums it held are gone.
  double* Lend() noexcept {
    last_ = INT32_MIN;
    return prefix_;
  }
  const double* Lent() const noexcept { return prefix_; }

 private:
  // The prefix sums of prices next .. last after those before them: Pieces contiguous pieces
  // side by side, each chain started from the sum of everything before its piece (their
  // totals first, summed the same way), then the prices after the last whole piece. Every
  // value formed is the sum of a run from the span's first price.
  void Append(PriceSeries prices, std::int32_t next, std::int32_t last) noexcept {
    constexpr std::int32_t Pieces = 8;
    const std::int32_t n = last - next + 1;
    const std::int32_t piece = n / Pieces;
    const PriceSeries x = prices + next;
    double* const p = prefix_ + (next - from_) + 1;  // p[k]: up to x[k]; p[-1] before x[0]
    double totals[Pieces] = {};
    for (std::int32_t k = 0; k < piece; ++k) {
      for (std::int32_t c = 0; c < Pieces; ++c) {
        totals[c] += static_cast<double>(x[c * piece + k]);
      }
    }
    double chains[Pieces];
    double before = p[-1];
    for (std::int32_t c = 0; c < Pieces; ++c) {
      chains[c] = before;
      before += totals[c];
    }
    for (std::int32_t k = 0; k < piece; ++k) {
      for (std::int32_t c = 0; c < Pieces; ++c) {
        chains[c] += static_cast<double>(x[c * piece + k]);
        p[c * piece + k] = chains[c];
      }
    }
    for (std::int32_t k = Pieces * piece; k < n; ++k) {
      p[k] = p[k - 1] + static_cast<double>(x[k]);
    }
  }

  std::int32_t from_ = 0;
  std::int32_t last_ = INT32_MIN;  // none formed yet
  double prefix_[Room + 1];        // prefix_[k]: the sum of prices[from_ .. from_ + k - 1]
};

}  // namespace tessaryn
