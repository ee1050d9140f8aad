// Computed bars of the trend line: window average plus half the smoothed window change.
#pragma once

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>

#include "filters/chunk.h"
#include "filters/filters.h"
#include "filters/history4.h"
#include "filters/lanes.h"
#include "filters/span_sums.h"
#include "filters/window_judge.h"
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
  // What Record and Slide carry from bar to bar: the window of the last computed bar.
  struct Serial {
    CarriedWindow window;
  };

  // What Value carries: the window changes of the computed bars.
  template <class V>
  struct Histories {
    History4<V> changes;

    Histories() = default;
    template <class W>
    explicit Histories(const Histories<W>& other) noexcept : changes(other.changes) {}
  };

  // What the value takes of each bar: its window change, sum and length.
  template <class V>
  struct Inputs {
    V change;
    V sum;
    V length;
  };

  // A bar's values: the trend alone.
  template <class V>
  struct Outputs {
    V trend;
    V Own() const noexcept { return trend; }
  };
  static constexpr int outputs = 1;

  // How a chunk goes, and how its sums are formed: carried where the judge found them exact,
  // read off the span's prefix sums where it found every run sum of the chunk's span exact
  // (jumping windows), else afresh (those of the groups judged apart formed here, side by
  // side where they can).
  struct Plan {
    Pace pace = Pace::BarByBar;
    SumVerdict sums;
    std::int32_t first = 0;  // the chunk's first bar
    bool fromSpan = false;   // every sum read off the span's prefix sums
    SpanSums span;           // the prefix sums of the span the chunk's windows cover

    // Bar first + j's sum at j, where sums.byGroup and not carried: in the span's room.
    double* FreshSums() noexcept { return span.Lend(); }
    const double* FreshSums() const noexcept { return span.Lent(); }
  };
  static_assert(SpanSums::Room >= ChunkBars, "a chunk's fresh sums fit in the span's room");

  PriceSeries prices;
  WindowJudge judge;
  ReachBack reach;  // the run that windows starting before a span's prefix sums add

  explicit TrendStep(PriceSeries prices) noexcept : prices(prices) {}

  // Its bars may go together when every sum is exact: uniform when all have the carried
  // window's length, drifting when a bar may be one longer or shorter than the bar before,
  // both sliding the carried window on; jumping when the windows move any other way, their
  // sums read off the span's prefix sums (the chunk's bars go one by one, those sums taken,
  // where some are empty).
  template <class V>
  void PlanChunk(const Serial& s, const Chunk& c, Plan& plan) noexcept {
    plan.pace = Pace::BarByBar;
    plan.sums = {};
    plan.first = c.first;
    plan.fromSpan = false;
    const CarriedWindow& w = s.window;
    std::int32_t earliest = INT32_MAX;  // the earliest start of the chunk's windows
    std::int32_t longest = 0;           // and its longest window
    std::int32_t last = -1;             // the newest computed bar
    bool steps = w.period > 0 && w.newest == c.first - 1;
    if (c.uniform) {
      const std::int32_t period = c.periods[0];
      const std::int32_t from = std::max(c.first, period);  // the first computed bar
      if (period < 1 || from >= c.first + c.n) {
        return;  // no bar computed
      }
      earliest = from - period + 1;
      longest = period;
      last = c.first + c.n - 1;
      steps = steps && from == c.first && static_cast<std::uint32_t>(period - w.period + 1) <= 2u;
    } else if (c.full) {
      // One pass, without branches (it vectorises): the earliest window start, the longest
      // window and the largest change of length from bar to bar.
      const std::int32_t* const periods = c.periods;
      // A change of -1, 0 or 1 plus one, as unsigned, is at most 2.
      auto largestStep = static_cast<std::uint32_t>(periods[0] - w.period + 1);
      earliest = c.first - periods[0] + 1;
      longest = periods[0];
      for (int j = 1; j < c.n; ++j) {
        const auto step = static_cast<std::uint32_t>(periods[j] - periods[j - 1] + 1);
        largestStep = step > largestStep ? step : largestStep;
        const std::int32_t start = c.first + j - periods[j] + 1;
        earliest = start < earliest ? start : earliest;
        longest = periods[j] > longest ? periods[j] : longest;
      }
      steps = steps && largestStep <= 2u;
      last = c.first + c.n - 1;
    } else {
      steps = false;
      for (int j = 0; j < c.n; ++j) {
        const std::int32_t i = c.first + j;
        const std::int32_t period = c.periods[j];
        if (Chunk::Computed(i, period)) {
          earliest = std::min(earliest, i - period + 1);
          longest = std::max(longest, period);
          last = i;
        }
      }
      if (last < 0) {
        return;
      }
    }
    if (!steps && SumsFromSpan(c, earliest, last, plan)) {
      return;
    }
    const std::int32_t oldest =
        w.period > 0 ? std::min(earliest, w.newest - w.period + 1) : earliest;
    plan.sums = judge.Judge(prices, w, c, oldest, last, std::max(longest, w.period));
    if (!plan.sums.all) {
      FreshSumsOfGroups<V>(c, plan);
    } else if (steps && c.full) {
      plan.pace = c.uniform && c.periods[0] == w.period ? Pace::Uniform : Pace::Drifting;
    }
  }

  // The plan of a lone bar i, computed, that comes after the carried window (a stream's).
  Plan PlanBar(const Serial& s, std::int32_t i, std::int32_t period) noexcept {
    Plan plan;
    plan.first = i;
    plan.sums.all = judge.JudgeBar(prices, s.window, i, period);
    return plan;
  }

  // Requires 1 <= period <= i, so the window i - period + 1 .. i starts at bar 1 or later.
  Inputs<double> Record(Serial& s, const Plan& plan, std::int32_t i, std::int32_t period) noexcept {
    CarriedWindow& w = s.window;
    const int j = i - plan.first;
    double sum = 0.0;
    if (plan.fromSpan) {
      sum = plan.span.Window(prices, reach, i, period);
    } else if (!plan.sums.Carries(j)) {
      sum = plan.sums.byGroup ? plan.FreshSums()[j] : FreshWindowSum(prices, i, period);
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

  // Bars i .. i + Width<V> - 1 of a chunk whose plan let them go together at pace P: the
  // window slides (uniform, fixed offsets), drifts by at most a bar from bar to bar (each
  // bar's leaving prices read from its period and the one before, off the sums' chain), or
  // jumps (each bar's sum as the plan formed it, no chain at all).
  template <class V, Pace P>
  Inputs<V> Slide(Serial& s, const Plan& plan, std::int32_t i,
                  const std::int32_t* periods) noexcept {
    CarriedWindow& w = s.window;
    const PriceSeries p = prices;
    const V newest = Widen<V>(p + i);
    V oldest;
    V gained;
    V length;
    if constexpr (P == Pace::Jumping) {
      oldest = EachLane<V>([=](int j) { return static_cast<double>(p[i + j - periods[j] + 1]); });
      length = EachLane<V>([=](int j) { return static_cast<double>(periods[j]); });
      constexpr int Newest = Width<V> - 1;
      const SpanSums& span = plan.span;
      const double* const upTo = span.UpTo(i);
      const V sums = FromLanes<V>(upTo) -
                     EachLane<V>([&](int j) { return span.Before(i + j - periods[j] + 1); });
      w.sum = upTo[Newest] - span.Before(i + Newest - periods[Newest] + 1);
      w.newest = i + Newest;
      w.period = periods[Newest];
      return {WindowChange(newest, oldest), sums, length};
    } else if constexpr (P == Pace::Uniform) {
      oldest = Widen<V>(p + i - w.period + 1);
      gained = SlideDifference(newest, Widen<V>(p + i - w.period), NoPrice{});
      length = Both<V>(static_cast<double>(w.period));
    } else {
      const std::int32_t before = w.period;
      oldest = EachLane<V>([=](int j) { return static_cast<double>(p[i + j - periods[j] + 1]); });
      gained = EachLane<V>([=](int j) {
        return SlideDifference(p, i + j, j == 0 ? before : periods[j - 1], periods[j]);
      });
      length = EachLane<V>([=](int j) { return static_cast<double>(periods[j]); });
      w.period = periods[Width<V> - 1];
    }
    const V sums = Serially(gained, [&w](double g) { return w.Gain(g); });
    w.newest = i + Width<V> - 1;
    return {WindowChange(newest, oldest), sums, length};
  }

  template <class V>
  static Outputs<V> Value(Histories<V>& h, const Inputs<V>& in, std::int32_t) noexcept {
    return {TrendValue(h.changes.Advance(in.change), in.sum, in.length)};
  }

  // For a stream's next bar at `place`: whether its window is the carried one moved on by a
  // bar and its sums are confirmed exact, so that it may slide on (Slide, uniform). Its
  // price must be in place.
  bool Slides(const Serial& s, std::int32_t place, std::int32_t period) noexcept {
    const CarriedWindow& w = s.window;
    return w.period == period && w.newest == place - 1 &&
           judge.SlidesExactly(prices, place, period);
  }

  // A stream's prices now at `at`, moved `shift` places toward the front.
  void Rebase(Serial& s, PriceSeries at, std::int32_t shift) noexcept {
    prices = at;
    if (shift != 0) {
      s.window.newest -= shift;
      // Empty bars since the last computed one may have let its window's prices go: the
      // next bar's sum is then formed afresh, and nothing before the buffer is read.
      if (s.window.newest - s.window.period + 1 < 0) {
        s.window = {};
      }
      judge.Rebase(shift);
      reach.Rebase(shift);
    }
  }
  // The price at `place` is to be replaced (a stream revises its newest bar).
  void Forget(std::int32_t place) noexcept {
    judge.Forget(place);
    reach.Forget(place);
  }
  void Reset() noexcept {
    judge.Reset();
    reach.Forget();
  }

  // What a computed bar overwrites, and putting it back (Revise).
  struct Kept {
    double sum;
    std::int32_t newest;
    std::int32_t period;
    double dropped;  // the history's oldest value, which the bar lets go
  };
  static Kept Keep(const Serial& s, const Histories<double>& h) noexcept {
    return {s.window.sum, s.window.newest, s.window.period, h.changes.h3};
  }
  static void PutBack(Serial& s, Histories<double>& h, const Kept& k) noexcept {
    s.window = {k.sum, k.newest, k.period};
    h.changes.Retreat(k.dropped);
  }

 private:
  // Every sum of the chunk's windows, when every run sum of prices[earliest .. last] is exact,
  // read off the span's prefix sums (span_sums.h): as the bars slide where every bar is
  // computed and every window starts in the span (jumping), else as each is recorded.
  bool SumsFromSpan(const Chunk& c, std::int32_t earliest, std::int32_t last, Plan& plan) noexcept {
    if (!judge.RunsAreExact(prices, earliest, last)) {
      return false;
    }
    plan.span.Form(prices, std::max(earliest, last - SpanSums::Room + 1), c.first, last);
    plan.fromSpan = true;
    plan.pace = c.full && plan.span.From() == earliest ? Pace::Jumping : Pace::BarByBar;
    return true;
  }

  // The fresh sums of the groups whose sums may not be carried: side by side (FreshWindowSums)
  // where the group's bars share a period, else one by one.
  template <class V>
  void FreshSumsOfGroups(const Chunk& c, Plan& plan) const noexcept {
    if (!plan.sums.byGroup) {
      return;
    }
    double* const freshSums = plan.FreshSums();
    for (int g = 0; g < c.n; g += WindowGroup) {
      const int end = std::min(g + WindowGroup, c.n);
      if (plan.sums.carries[g / WindowGroup]) {
        continue;
      }
      if (end - g == WindowGroup &&
          std::count(c.periods + g, c.periods + end, c.periods[g]) == WindowGroup &&
          Chunk::Computed(c.first + g, c.periods[g])) {
        constexpr int Side = FreshChains * Width<V>;
        for (int k = 0; k < WindowGroup; k += Side) {
          FreshWindowSums<V, FreshChains>(prices, c.first + g + k, c.periods[g], freshSums + g + k);
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
