// Which of the trend's window sums may be carried from bar to bar: where every sum formed on
// the way is exact (exact_sum.h, run_sums.h), the carried sum has the bits of the fresh one.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>

#include "filters/chunk.h"
#include "filters/exact_sum.h"
#include "filters/filters.h"
#include "filters/run_sums.h"
#include "filters/window_sum.h"

namespace tessaryn {

// Independent chains of additions that fresh sums of windows side by side keep going, four
// lanes each at the widest: a group of bars judged apart holds that many windows.
inline constexpr int FreshChains = 8;
inline constexpr int WindowGroup = 4 * FreshChains;

// What the judge found of a chunk's sums.
struct SumVerdict {
  bool all = false;      // every sum the chunk forms is exact: all are carried
  bool byGroup = false;  // else: group g's sums may be carried where carries[g] is set
  bool carries[ChunkBars / WindowGroup];

  bool Carries(int j) const noexcept { return all || (byGroup && carries[j / WindowGroup]); }
};

// Judges runs of prices as they come, keeping what it learned of them: the exponents seen so
// far (each price of real data examined once) and the run sums of blocks (run_sums.h).
class WindowJudge {
 public:
  // Whether every sum formed from prices[oldest .. last], windows of at most `longest`, is
  // exact: a window and one more price are the most terms a partial sum on the way holds.
  // The exponents seen so far with the new prices (one pass over new prices only); else the
  // run's own exponents and the range of its sums, from whole blocks kept: the run taken
  // from the start of its oldest price's block, which asks more of it (more prices, no
  // larger unit) and costs a step per block.
  bool SumsAreExact(PriceSeries prices, std::int32_t oldest, std::int32_t last,
                    std::int32_t longest) noexcept {
    const std::int64_t terms = std::int64_t{longest} + 1;
    return exact_.Confirm(prices, oldest, last, terms) ||
           RunSumsAreExact(prices, oldest, last, terms);
  }

  // Whether the sum of every run of prices[lo .. hi] is exact (span_sums.h reads windows off
  // their prefix sums): a run holds at most all of them.
  bool RunsAreExact(PriceSeries prices, std::int32_t lo, std::int32_t hi) noexcept {
    return SumsAreExact(prices, lo, hi, hi - lo);
  }

  // The chunk's sums, from the window carried into it (w) on: all at once, else (when one
  // price defeats the test) 32 bars at a time, each group with the window carried into it, so
  // that only the groups holding that price go without.
  SumVerdict Judge(PriceSeries prices, const CarriedWindow& w, const Chunk& c, std::int32_t oldest,
                   std::int32_t last, std::int32_t longest) noexcept {
    SumVerdict verdict;
    verdict.all = SumsAreExact(prices, oldest, last, longest);
    if (!verdict.all) {
      JudgeGroups(prices, w, c, verdict);
    }
    return verdict;
  }

  // For a lone bar i, computed, that comes after the carried window w (a stream's).
  bool JudgeBar(PriceSeries prices, const CarriedWindow& w, std::int32_t i,
                std::int32_t period) noexcept {
    const std::int32_t start = i - period + 1;
    return w.period > 0 ? SumsAreExact(prices, std::min(start, w.newest - w.period + 1), i,
                                       std::max(period, w.period))
                        : SumsAreExact(prices, start, i, period);
  }

  // For a lone bar i whose window is the carried one moved on by a bar: whether the exponents
  // seen so far confirm its sums exact, so that it may slide on. When they don't, JudgeBar
  // looks further.
  bool SlidesExactly(PriceSeries prices, std::int32_t i, std::int32_t period) noexcept {
    return exact_.ConfirmNext(prices, i - period, i, std::int64_t{period} + 1);
  }

  // The prices moved `shift` places toward the front, or changed at `place` and after it (a
  // stream's buffer): what was learned of them is forgotten where it no longer holds.
  void Rebase(std::int32_t shift) noexcept {
    exact_.Rebase(shift);
    runs_.Forget();
  }
  void Forget(std::int32_t place) noexcept {
    exact_.Forget(place);
    runs_.Forget(place);
  }
  void Reset() noexcept {
    exact_ = ExactSums{};
    runs_.Forget();
  }

 private:
  // The run looked at again when the exponents seen so far fail it: apart, so that a bar
  // taken on its own (a stream's) carries none of its weight.
  __attribute__((noinline)) bool RunSumsAreExact(PriceSeries prices, std::int32_t oldest,
                                                 std::int32_t last, std::int64_t terms) noexcept {
    oldest -= oldest % RunSums::BlockBars;
    const RunSums::Span span = runs_.Of(prices, oldest, last);
    if (span.magnitudes.SumsAreExact(terms)) {
      exact_.Restart(span.magnitudes, oldest, last);
      return true;
    }
    return span.RangeBounded();
  }

  void JudgeGroups(PriceSeries prices, const CarriedWindow& w, const Chunk& c,
                   SumVerdict& verdict) noexcept {
    verdict.byGroup = true;
    std::int32_t carried = w.period > 0 ? w.newest - w.period + 1 : INT32_MAX;
    std::int32_t carriedLength = w.period;
    for (int g = 0; g < c.n; g += WindowGroup) {
      const int end = std::min(g + WindowGroup, c.n);
      std::int32_t oldest = INT32_MAX;  // the oldest price the group's sums reach
      std::int32_t longest = 0;
      int last = -1;
      for (int j = g; j < end; ++j) {
        if (Chunk::Computed(c.first + j, c.periods[j])) {
          const std::int32_t start = c.first + j - c.periods[j] + 1;
          oldest = std::min({oldest, carried, start});
          longest = std::max({longest, carriedLength, c.periods[j]});
          carried = start;
          carriedLength = c.periods[j];
          last = j;
        }
      }
      verdict.carries[g / WindowGroup] = false;
      if (last >= 0) {
        const RunSums::Span span = runs_.Of(prices, oldest, c.first + last);
        verdict.carries[g / WindowGroup] =
            span.magnitudes.SumsAreExact(std::int64_t{longest} + 1) || span.RangeBounded();
      }
    }
  }

  ExactSums exact_;
  RunSums runs_;
};

}  // namespace tessaryn
