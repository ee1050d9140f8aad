// An indicator of the tests alone: the plain moving average of the bar's window, its sum
// formed afresh newest price first. One step file beside one table row (extra_indicators.inc)
// is all it takes to run it through the bar loop at every width, the stream and the suites.
#pragma once

#include <cstdint>
#include <vector>

#include "filters/chunk.h"
#include "filters/filters.h"
#include "filters/lanes.h"
#include "filters/round_period.h"
#include "filters/window_sum.h"

namespace tessaryn {

struct AverageStep {
  template <class V>
  struct Outputs {
    V average;
    V Own() const noexcept { return average; }
  };
  static constexpr int outputs = 1;

  struct Serial {
    std::int32_t period = 0;  // of the last computed bar
  };
  template <class V>
  struct Histories {  // the average keeps no history
    Histories() = default;
    template <class W>
    explicit Histories(const Histories<W>&) noexcept {}
  };
  template <class V>
  struct Inputs {
    V sum;
    V length;
  };
  struct Plan {
    Pace pace = Pace::BarByBar;
  };

  PriceSeries prices;

  explicit AverageStep(PriceSeries prices) noexcept : prices(prices) {}

  template <class V>
  void PlanChunk(const Serial& s, const Chunk& c, Plan& plan) const noexcept {
    plan = {!c.full                                 ? Pace::BarByBar
            : c.uniform && c.periods[0] == s.period ? Pace::Uniform
                                                    : Pace::Drifting};
  }
  Plan PlanBar(const Serial&, std::int32_t, std::int32_t) const noexcept { return {}; }

  Inputs<double> Record(Serial& s, const Plan&, std::int32_t i, std::int32_t period) noexcept {
    s.period = period;
    return {FreshWindowSum(prices, i, period), static_cast<double>(period)};
  }

  template <class V, Pace P>
  Inputs<V> Slide(Serial& s, const Plan&, std::int32_t i, const std::int32_t* periods) noexcept {
    const std::int32_t last = s.period;
    const auto length = [=](int j) { return P == Pace::Uniform ? last : periods[j]; };
    if constexpr (P != Pace::Uniform) {
      s.period = periods[Width<V> - 1];
    }
    return {EachLane<V>([&](int j) { return FreshWindowSum(prices, i + j, length(j)); }),
            EachLane<V>([&](int j) { return static_cast<double>(length(j)); })};
  }

  // The average: the window's sum over its length.
  template <class V>
  static Outputs<V> Value(Histories<V>&, const Inputs<V>& in, std::int32_t) noexcept {
    return {in.sum / in.length};
  }

  bool Slides(const Serial& s, std::int32_t, std::int32_t period) const noexcept {
    return s.period == period;
  }
  void Rebase(Serial&, PriceSeries at, std::int32_t) noexcept { prices = at; }
  void Forget(std::int32_t) noexcept {}
  void Reset() noexcept {}

  struct Kept {
    std::int32_t period;
  };
  static Kept Keep(const Serial& s, const Histories<double>&) noexcept { return {s.period}; }
  static void PutBack(Serial& s, Histories<double>&, const Kept& k) noexcept {
    s.period = k.period;
  }
};

namespace test {

// Its reference, bar by bar.
inline std::vector<float> PlainAverage(const std::vector<float>& prices,
                                       const std::vector<float>& periods) {
  std::vector<float> out(prices.size());
  for (std::size_t i = 0; i < prices.size(); ++i) {
    const std::int32_t period = RoundPeriod(periods[i]);
    if (period < 1 || static_cast<std::int64_t>(period) > static_cast<std::int64_t>(i)) {
      out[i] = EmptyValue;
      continue;
    }
    double sum = 0.0;
    for (std::int64_t k = static_cast<std::int64_t>(i); k > static_cast<std::int64_t>(i) - period;
         --k) {
      sum += static_cast<double>(prices[static_cast<std::size_t>(k)]);
    }
    out[i] = static_cast<float>(sum / period);
  }
  return out;
}

}  // namespace test
}  // namespace tessaryn
