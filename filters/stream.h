// A live series: bars appended one at a time or many at once, the newest revisable, with the
// values the routines give on the series so far. Behind the C API of tessaryn_stream.h.
#pragma once

#include <cstdint>

#include "filters/trend_plus_cycle_step.h"

namespace tessaryn {

// Codes of tessaryn_stream.h.
enum class StreamStatus : std::int32_t {
  Ok = 0,
  NullArgument = 1,
  Empty = 2,
  PeriodAboveBound = 3,
  OutOfMemory = 4,
  NegativeCount = 5,
  TooManyBars = 6,
  NegativeBound = 7,
};

struct StreamValues {
  float trend;
  float cycle;
  float model;
};

// Prices are kept in one buffer, bar `base` at its front. With a bound B on the period, only
// the last B + 1 prices before a new bar are needed (its window and the price before it), and
// the buffer keeps its size: when full, those move to the front. Without a bound every
// price is kept. Indices handed to the steps are places in the buffer: they tell computed
// bars from empty ones as the bar's own index would (a kept bar's place is above the bound),
// and the cycle's first bars are told by the bar's own index.
class StreamEngine {
 public:
  explicit StreamEngine(std::int32_t bound) noexcept;
  ~StreamEngine();
  StreamEngine(const StreamEngine&) = delete;
  StreamEngine& operator=(const StreamEngine&) = delete;

  // The bar's trend, cycle and model into out, in that order; out untouched on failure.
  StreamStatus Push(float price, float period, float out[3]) noexcept;
  StreamStatus Revise(float price, float period, float out[3]) noexcept;
  StreamStatus PushMany(const float* prices, const float* periods, std::int32_t count, float* trend,
                        float* cycle, float* model) noexcept;
  void Reset() noexcept;
  std::int64_t Size() const noexcept { return size_; }

  // The trend's window as carried after the last computed bar, its sum in double: what the
  // tests hold against a fresh sum, where rounding to single precision would hide a difference.
  const CarriedWindow& Window() const noexcept { return state_.trend.window; }

 private:
  using State = TrendPlusCycleStep::State<double>;
  using Inputs = TrendPlusCycleStep::Inputs<double>;

  std::int32_t Rounded(float period) noexcept;
  bool Refuses(std::int32_t period, std::int64_t bar) const noexcept;
  StreamStatus MakeRoom(std::int32_t bars) noexcept;
  void Rebase(std::int32_t shift) noexcept;
  StreamStatus PushAnyBar(float price, std::int32_t rounded, float out[3]) noexcept;
  bool MovesOn(std::int32_t place, std::int32_t period) const noexcept;
  void SlideOn(std::int32_t place, std::int64_t bar, float out[3]) noexcept;
  StreamValues Compute(std::int32_t place, std::int64_t bar, std::int32_t period) noexcept;
  StreamValues Values(const Inputs& inputs, std::int64_t bar) noexcept;
  void RunBatch(std::int32_t count, const float* periods, float* trend, float* cycle,
                float* model) noexcept;
  void Append(float price) noexcept;
  void KeepSlidOver() noexcept;
  void BeforeNewest(std::int32_t place) noexcept;
  static void Store(const StreamValues& values, float out[3]) noexcept;

  // Bars PushMany hands to the bar loop at a time; also the room a bounded buffer keeps
  // beyond its window.
  static constexpr std::int32_t BatchBars = 4096;

  std::int32_t bound_;
  std::int32_t keep_;  // prices kept before a new bar (bounded), else 0
  float* prices_ = nullptr;
  std::int32_t capacity_ = 0;
  std::int32_t used_ = 0;  // places filled; the newest bar at used_ - 1
  std::int64_t size_ = 0;  // bars seen
  TrendPlusCycleStep step_;
  State state_{};
  // Before the newest bar, what Revise goes back to: when the newest bar slid on (the common
  // bar), what the slide overwrote (the rest it moves or leaves as it was), else the whole
  // state. Copying the whole state for every bar cost a Push an eighth of its time: the last
  // bar's narrower stores into it had not reached the cache when the copy's wider loads came.
  // (The trend's exponents seen keep the newest price's when it is revised: a wider span is
  // only the more cautious.)
  struct SlidOver {
    double sum;           // the trend's carried window sum
    double trendDropped;  // the value each history let go
    double highPass;      // the cycle's
    double cycleDropped;
  };
  SlidOver slidOver_{};
  bool newestSlid_ = false;
  State beforeNewest_{};
  std::uint32_t periodBits_ = 0;  // the last period taken, +0.0f at first
  std::int32_t rounded_ = 0;      // its rounding
  float scratch_[BatchBars];      // outputs PushMany was not given
};

}  // namespace tessaryn
