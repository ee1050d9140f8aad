// Computed bars of the trend line: window average plus half the smoothed window change.
#pragma once

#include <algorithm>
#include <cstdint>

#include "filters/bar_loop.h"
#include "filters/exact_sum.h"
#include "filters/filters.h"
#include "filters/four_bars.h"
#include "filters/history4.h"
#include "filters/lanes.h"
#include "filters/run_sums.h"
#include "filters/window_sum.h"

namespace tessaryn {

// The window change: the newest price minus the oldest price of the same window.
template <class V>
V WindowChange(V newest, V oldest) noexcept {
  return newest - oldest;
}

// The trend's value: the window's average plus half its smoothed change.
template <class V>
V TrendValue(V smoothedChange, V sum, V length) noexcept {
  return smoothedChange / 2.0 + sum / length;
}

struct TrendStep {
  template <class V>
  struct State {
    CarriedWindow window;  // of the last computed bar
    History4<V> changes;   // window changes of the computed bars

    State() = default;
    template <class W>
    explicit State(const State<W>& other) noexcept : window(other.window), changes(other.changes) {}
  };

  PriceSeries prices;
  ExactSums exact;
  bool carry = false;  // every sum of the chunk confirmed exact: they may be carried
  // A drifting chunk that goes together: per bar, its window's oldest price and what its
  // sum gains, read ahead of the running sum (bar i at i - first).
  std::int32_t first = 0;
  double oldestPrices[ChunkBars];
  double gains[ChunkBars];
  // Else, when the chunk's windows were judged a group of bars at a time: bar i's sum may be
  // carried when carries[(i - first) / WindowGroup] is set.
  static constexpr int WindowGroup = 4 * FreshChains;
  bool eachWindow = false;
  bool carries[ChunkBars / WindowGroup];
  double freshSums[ChunkBars];  // of the windows whose sums may not be carried
  RunSums runs;

  explicit TrendStep(PriceSeries prices) noexcept : prices(prices) {}

  // Confirms that every sum the chunk forms, from the carried window on, is exact; then its
  // sums are carried, else formed afresh. Its bars may go together when they are, and every
  // window is the one before moved on by a bar: uniform when all have the carried window's
  // length, drifting when a bar may be one longer or shorter than the bar before.
  Pace Plan(const State<double>& s, const Chunk& c) noexcept {
    const CarriedWindow& w = s.window;
    std::int32_t oldest = w.period > 0 ? w.newest - w.period + 1 : INT32_MAX;
    std::int32_t longest = w.period;
    std::int32_t last = -1;  // the newest computed bar
    bool steps = w.period > 0 && w.newest == c.first - 1;
    if (c.uniform) {
      const std::int32_t period = c.periods[0];
      const std::int32_t from = std::max(c.first, period);  // the first computed bar
      if (period < 1 || from >= c.first + c.n) {
        return Pace::BarByBar;
      }
      oldest = std::min(oldest, from - period + 1);
      longest = std::max(longest, period);
      last = c.first + c.n - 1;
      steps = steps && static_cast<std::uint32_t>(period - w.period + 1) <= 2u;
    } else if (c.full) {
      // One pass, without branches (it vectorises): the earliest window start, the longest
      // window and the largest change of length from bar to bar.
      const std::int32_t* const periods = c.periods;
      // A change of -1, 0 or 1 plus one, as unsigned, is at most 2.
      auto largestStep = static_cast<std::uint32_t>(periods[0] - w.period + 1);
      std::int32_t earliest = c.first - periods[0] + 1;
      std::int32_t longestHere = periods[0];
      for (int j = 1; j < c.n; ++j) {
        const auto step = static_cast<std::uint32_t>(periods[j] - periods[j - 1] + 1);
        largestStep = step > largestStep ? step : largestStep;
        const std::int32_t start = c.first + j - periods[j] + 1;
        earliest = start < earliest ? start : earliest;
        longestHere = periods[j] > longestHere ? periods[j] : longestHere;
      }
      steps = steps && largestStep <= 2u;
      oldest = std::min(oldest, earliest);
      longest = std::max(longest, longestHere);
      last = c.first + c.n - 1;
    } else {
      steps = false;
      for (int j = 0; j < c.n; ++j) {
        const std::int32_t i = c.first + j;
        const std::int32_t period = c.periods[j];
        if (Chunk::Computed(i, period)) {
          oldest = std::min(oldest, i - period + 1);
          longest = std::max(longest, period);
          last = i;
        }
      }
      if (last < 0) {
        return Pace::BarByBar;
      }
    }
    carry = SumsAreExact(oldest, last, longest);
    eachWindow = false;
    if (!carry) {
      JudgeEachWindow(s, c);
      return Pace::BarByBar;
    }
    if (!steps || !c.full) {
      return Pace::BarByBar;
    }
    if (c.uniform && c.periods[0] == w.period) {
      return Pace::Uniform;
    }
    first = c.first;
    const auto readAhead = [&](int j, std::int32_t before) {
      const std::int32_t i = c.first + j;
      oldestPrices[j] = static_cast<double>(prices[i - c.periods[j] + 1]);
      gains[j] = SlideDifference(prices, i, before, c.periods[j]);
    };
    readAhead(0, w.period);
    for (int j = 1; j < c.n; ++j) {  // no dependency between bars: it vectorises
      readAhead(j, c.periods[j - 1]);
    }
    return Pace::Drifting;
  }

  // Plan for a lone bar i, computed, that comes after the carried window (a stream's).
  void PlanBar(const State<double>& s, std::int32_t i, std::int32_t period) noexcept {
    const CarriedWindow& w = s.window;
    const std::int32_t start = i - period + 1;
    eachWindow = false;
    carry = w.period > 0 ? SumsAreExact(std::min(start, w.newest - w.period + 1), i,
                                        std::max(period, w.period))
                         : SumsAreExact(start, i, period);
  }

  // For a lone bar i whose window is the carried one moved on by a bar: whether the exponents
  // seen so far confirm its sums exact, so that it may slide on (Slide, uniform). When they
  // don't, PlanBar looks further.
  bool SlidesExactly(std::int32_t i, std::int32_t period) noexcept {
    return exact.ConfirmNext(prices, i - period, i, std::int64_t{period} + 1);
  }

  // What the value takes of each bar: its window change, sum and length.
  template <class V>
  struct Inputs {
    V change;
    V sum;
    V length;
  };

  // Requires 1 <= period <= i, so the window i - period + 1 .. i starts at bar 1 or later.
  Inputs<double> Record(State<double>& s, std::int32_t i, std::int32_t period) noexcept {
    CarriedWindow& w = s.window;
    double sum = 0.0;
    if (!carry && !(eachWindow && carries[(i - first) / WindowGroup])) {
      sum = eachWindow ? freshSums[i - first] : FreshWindowSum(prices, i, period);
    } else if (w.SlidesTo(i, period)) {
      sum = w.Gain(SlideDifference(prices, i, w.period, period));
    } else {
      sum = JumpWindow(prices, w, i, period);
    }
    w = {sum, i, period};
    const double change =
        WindowChange(Widen<double>(prices + i), static_cast<double>(prices[i - period + 1]));
    return {change, sum, static_cast<double>(period)};
  }

  template <class V, bool Uniform>
  Inputs<V> Slide(State<V>& s, std::int32_t i, const std::int32_t* periods) noexcept {
    CarriedWindow& w = s.window;
    const PriceSeries p = prices;
    const V newest = Widen<V>(p + i);
    V oldest;
    V gained;
    V length;
    if constexpr (Uniform) {  // the window slides: fixed offsets
      oldest = Widen<V>(p + i - w.period + 1);
      gained = SlideDifference(newest, Widen<V>(p + i - w.period), NoPrice{});
      length = Both<V>(static_cast<double>(w.period));
    } else {  // drifting by at most a bar from bar to bar: read ahead in Plan
      oldest = FromLanes<V>(oldestPrices + (i - first));
      gained = FromLanes<V>(gains + (i - first));
      length = EachLane<V>([=](int j) { return static_cast<double>(periods[j]); });
      w.period = periods[Width<V> - 1];
    }
    const V sums = Serially(gained, [&w](double g) { return w.Gain(g); });
    w.newest = i + Width<V> - 1;
    return {WindowChange(newest, oldest), sums, length};
  }

  template <class V>
  V Value(State<V>& s, const Inputs<V>& in, std::int32_t) const noexcept {
    return TrendValue(s.changes.Advance(in.change), in.sum, in.length);
  }

 private:
  // Whether every sum formed from prices[oldest .. last], windows of at most `longest`, is
  // exact: a window and one more price are the most terms a partial sum on the way holds.
  // The exponents seen so far with the new prices (one pass over new prices only); else the
  // run's own exponents and the range of its sums (run_sums.h), from whole blocks kept: the
  // run taken from the start of its oldest price's block, which asks more of it (more prices,
  // no larger unit) and costs a step per block.
  bool SumsAreExact(std::int32_t oldest, std::int32_t last, std::int32_t longest) noexcept {
    const std::int64_t terms = std::int64_t{longest} + 1;
    return exact.Confirm(prices, oldest, last, terms) || RunSumsAreExact(oldest, last, terms);
  }

  // The run looked at again when the exponents seen so far fail it: apart, so that a bar
  // taken on its own (a stream's) carries none of its weight.
  __attribute__((noinline)) bool RunSumsAreExact(std::int32_t oldest, std::int32_t last,
                                                 std::int64_t terms) noexcept {
    oldest -= oldest % RunSums::BlockBars;
    const RunSums::Span span = runs.Of(prices, oldest, last);
    if (span.magnitudes.SumsAreExact(terms)) {
      exact.Restart(span.magnitudes, oldest, last);
      return true;
    }
    return span.RangeBounded();
  }

  // A chunk whose sums are not all exact: which of its windows are, each judged with the
  // window carried into it (run_sums.h), 32 bars at a time, so that one price that defeats
  // the test sends only the groups holding it to fresh sums. Those are formed here, the
  // windows side by side where the bars share a period.
  void JudgeEachWindow(const State<double>& s, const Chunk& c) noexcept {
    constexpr int Group = WindowGroup;
    first = c.first;
    eachWindow = true;
    std::int32_t carried = s.window.period > 0 ? s.window.newest - s.window.period + 1 : INT32_MAX;
    std::int32_t carriedLength = s.window.period;
    for (int g = 0; g < c.n; g += Group) {
      const int end = std::min(g + Group, c.n);
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
      if (last < 0) {
        continue;
      }
      const RunSums::Span span = runs.Of(prices, oldest, c.first + last);
      carries[g / Group] =
          span.magnitudes.SumsAreExact(std::int64_t{longest} + 1) || span.RangeBounded();
      if (carries[g / Group]) {
        continue;
      }
      if (end - g == Group && std::count(c.periods + g, c.periods + end, c.periods[g]) == Group &&
          Chunk::Computed(c.first + g, c.periods[g])) {
        if (!FreshSumsFourAtATime(prices, c.first + g, c.periods[g], freshSums + g)) {
          constexpr int Side = FreshChains * Width<Double2>;
          for (int k = 0; k < Group; k += Side) {
            FreshWindowSums<Double2, FreshChains>(prices, c.first + g + k, c.periods[g],
                                                  freshSums + g + k);
          }
        }
        continue;
      }
      for (int j = g; j < end; ++j) {
        if (Chunk::Computed(c.first + j, c.periods[j])) {
          freshSums[j] = FreshWindowSum(prices, c.first + j, c.periods[j]);
        }
      }
    }
  }
};

}  // namespace tessaryn
