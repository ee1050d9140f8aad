// A live series of any step: bars appended one at a time or many at once, the newest
// revisable, with the values the routines give on the series so far. StreamEngine<StreamStep>
// is behind the C API of tessaryn_stream.h.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "filters/bar_loop.h"
#include "filters/chunk.h"
#include "filters/dispatch.h"
#include "filters/indicators.h"
#include "filters/round_period.h"

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
  CapacityTooSmall = 8,
  NotSavedStream = 9,
  OtherMajorVersion = 10,
  DamagedState = 11,
  InconsistentState = 12,
};

struct SavedStream;

// Prices are kept in one buffer, bar `base` at its front. With a bound B on the period, only
// the last B + 1 prices before a new bar are needed (its window and the price before it), and
// the buffer keeps its size: when full, those move to the front. Without a bound every
// price is kept. Indices handed to the step are places in the buffer: they tell computed
// bars from empty ones as the bar's own index would (a kept bar's place is above the bound),
// and the cycle's first bars are told by the bar's own index.
//
// What the engine asks of a step beyond the bar loop's protocol (bar_loop.h):
//   Plan PlanBar(const Serial&, place, period)      the plan of a lone computed bar;
//   bool Slides(const Serial&, place, period)       whether the next bar, its price in place,
//                                                   may take Slide<double, Pace::Uniform>;
//   Rebase(Serial&, prices, shift), Forget(place), Reset()
//                                                   the prices moved, one changed, all went;
//   Kept, Keep(serial, histories), PutBack(serial, histories, kept)
//                                                   what a computed bar overwrites, and
//                                                   putting it back (Revise).
template <class Step>
class StreamEngine {
 public:
  static constexpr int outputs = Step::outputs;
  using Outputs = std::array<float*, outputs>;

  // A bounded stream keeps at least three prices, so that a kept bar's place is never one of
  // the first three, which the cycle treats apart.
  explicit StreamEngine(std::int32_t bound) noexcept
      : bound_(bound), keep_(KeepFor(bound)), step_(nullptr) {}
  ~StreamEngine() { std::free(prices_); }
  StreamEngine(const StreamEngine&) = delete;
  StreamEngine& operator=(const StreamEngine&) = delete;

  // The bar's values into out, in the step's order; out untouched on failure. The common bar
  // (its period the last computed bar's, right after it) inline, without a call.
  __attribute__((flatten)) StreamStatus Push(float price, float period, float* out) noexcept {
    const std::int32_t rounded = Rounded(period);
    if (used_ < capacity_ && rounded > 0) {
      prices_[used_] = price;
      if (step_.Slides(state_.serial, used_, rounded)) {
        SlideOn(used_, size_, out);
        ++used_;
        ++size_;
        return StreamStatus::Ok;
      }
    }
    return PushAnyBar(price, rounded, out);
  }

  __attribute__((flatten)) StreamStatus Revise(float price, float period, float* out) noexcept {
    if (size_ == 0) {
      return StreamStatus::Empty;
    }
    const std::int32_t rounded = Rounded(period);
    if (Refuses(rounded, size_ - 1)) {
      return StreamStatus::PeriodAboveBound;
    }
    const std::int32_t place = used_ - 1;
    if (newestComputed_) {
      Step::PutBack(state_.serial, state_.histories, kept_);
      newestComputed_ = false;
    }
    step_.Forget(place);
    prices_[place] = price;
    if (rounded > 0 && step_.Slides(state_.serial, place, rounded)) {
      SlideOn(place, size_ - 1, out);
    } else {
      Compute(place, size_ - 1, rounded, out);
    }
    return StreamStatus::Ok;
  }

  // count bars; each output's values into its array where one is given (not null).
  StreamStatus PushMany(const float* prices, const float* periods, std::int32_t count,
                        const Outputs& outs) noexcept;

  void Reset() noexcept {
    used_ = 0;
    size_ = 0;
    state_ = StepState<Step>{};
    newestComputed_ = false;
    step_.Reset();
  }

  std::int64_t Size() const noexcept { return size_; }

  // The step's state after the last bar: what the tests hold against the routines, the
  // trend's window sum in double, where rounding to single precision would hide a difference.
  const StepState<Step>& State() const noexcept { return state_; }

 private:
  friend struct SavedStream;  // saved_stream.h: Save and Restore see the state whole

  static constexpr std::int64_t kMostPlaces = INT32_MAX;

  static constexpr std::int32_t KeepFor(std::int32_t bound) noexcept {
    return bound > 0 ? static_cast<std::int32_t>(
                           std::min(std::max<std::int64_t>(bound, 2) + 1, kMostPlaces))
                     : 0;
  }
  // Bars PushMany hands to the bar loop at a time; also the room a bounded buffer keeps
  // beyond its window.
  static constexpr std::int32_t BatchBars = 4096;

  // A live series mostly keeps its period: its rounding is kept with the float's bits.
  std::int32_t Rounded(float period) noexcept {
    const auto bits = std::bit_cast<std::uint32_t>(period);
    if (bits != periodBits_) {
      periodBits_ = bits;
      rounded_ = RoundPeriod(period);
    }
    return rounded_;
  }

  // A bar the routines would compute (period up to its index) with a period above the bound
  // would need prices the stream no longer has.
  bool Refuses(std::int32_t period, std::int64_t bar) const noexcept {
    return bound_ > 0 && period > bound_ && Chunk::Computed(bar, period);
  }

  // The cycle tells its first bars by the bar's own index; from bar 3 on, any index is alike.
  static std::int32_t Index(std::int64_t bar) noexcept {
    return static_cast<std::int32_t>(std::min<std::int64_t>(bar, 3));
  }

  static void Store(const typename Step::template Outputs<double>& values, float* out) noexcept {
    EachField<outputs>(values, [out](int o, double value) { out[o] = static_cast<float>(value); });
  }

  // The next bar slides on (Step::Slides said so), taken as the routines take a uniform
  // stretch; what it overwrites kept first.
  void SlideOn(std::int32_t place, std::int64_t bar, float* out) noexcept {
    kept_ = Step::Keep(state_.serial, state_.histories);
    newestComputed_ = true;
    typename Step::Plan uniform;  // a uniform slide takes nothing of its plan
    Store(Step::Value(
              state_.histories,
              step_.template Slide<double, Pace::Uniform>(state_.serial, uniform, place, nullptr),
              Index(bar)),
          out);
  }

  // The newest bar's values, its price already in place, as the bar loop does for a bar on
  // its own.
  __attribute__((noinline)) void Compute(std::int32_t place, std::int64_t bar, std::int32_t period,
                                         float* out) noexcept {
    if (!Chunk::Computed(bar, period)) {
      newestComputed_ = false;
      std::fill(out, out + outputs, EmptyValue);
      return;
    }
    kept_ = Step::Keep(state_.serial, state_.histories);
    newestComputed_ = true;
    const typename Step::Plan plan = step_.PlanBar(state_.serial, place, period);
    Store(
        Step::Value(state_.histories, step_.Record(state_.serial, plan, place, period), Index(bar)),
        out);
  }

  __attribute__((noinline)) StreamStatus PushAnyBar(float price, std::int32_t rounded,
                                                    float* out) noexcept {
    if (Refuses(rounded, size_)) {
      return StreamStatus::PeriodAboveBound;
    }
    if (used_ == capacity_) {
      const StreamStatus room = MakeRoom(1);
      if (room != StreamStatus::Ok) {
        return room;
      }
    }
    prices_[used_] = price;
    Compute(used_, size_, rounded, out);
    ++used_;
    ++size_;
    return StreamStatus::Ok;
  }

  // Room for `bars` more places: a bounded buffer lets its oldest prices go first; a buffer
  // that must grow and cannot is left as it was. A bounded buffer never grows once it has
  // its first size (keep_ + BatchBars), so nothing fails once its prices have moved.
  __attribute__((noinline)) StreamStatus MakeRoom(std::int32_t bars) noexcept {
    if (bound_ > 0 && used_ > keep_ && used_ + std::int64_t{bars} > capacity_) {
      Rebase(used_ - keep_);
    }
    const std::int64_t needed = used_ + std::int64_t{bars};
    if (needed <= capacity_) {
      return StreamStatus::Ok;
    }
    if (needed > kMostPlaces) {
      return StreamStatus::TooManyBars;
    }
    const std::int64_t wanted =
        bound_ > 0 ? std::int64_t{keep_} + BatchBars : std::max<std::int64_t>(2 * capacity_, 1024);
    const std::int64_t capacity = std::min(std::max(needed, wanted), kMostPlaces);
    void* grown = std::realloc(prices_, static_cast<std::size_t>(capacity) * sizeof(float));
    if (grown == nullptr) {
      return StreamStatus::OutOfMemory;
    }
    prices_ = static_cast<float*>(grown);
    capacity_ = static_cast<std::int32_t>(capacity);
    step_.Rebase(state_.serial, prices_, 0);
    return StreamStatus::Ok;
  }

  // The prices from place `shift` on move to the front; what refers to places follows them.
  void Rebase(std::int32_t shift) noexcept {
    std::memmove(prices_, prices_ + shift, static_cast<std::size_t>(used_ - shift) * sizeof(float));
    used_ -= shift;
    step_.Rebase(state_.serial, prices_, shift);
  }

  std::int32_t bound_;
  std::int32_t keep_;  // prices kept before a new bar (bounded), else 0
  float* prices_ = nullptr;
  std::int32_t capacity_ = 0;
  std::int32_t used_ = 0;  // places filled; the newest bar at used_ - 1
  std::int64_t size_ = 0;  // bars seen
  Step step_;
  StepState<Step> state_;
  // What the newest bar overwrote, for Revise, when it was computed. Only that is kept, not
  // the whole state: copying the state for every bar cost a Push an eighth of its time (the
  // last bar's narrower stores into it had not reached the cache when the copy's wider loads
  // came). The trend's exponents seen keep a revised price's: a wider span is only the more
  // cautious.
  typename Step::Kept kept_{};
  bool newestComputed_ = false;
  std::uint32_t periodBits_ = 0;  // the last period taken, +0.0f at first
  std::int32_t rounded_ = 0;      // its rounding
};

template <class Step>
StreamStatus StreamEngine<Step>::PushMany(const float* prices, const float* periods,
                                          std::int32_t count, const Outputs& outs) noexcept {
  if (count < 0) {
    return StreamStatus::NegativeCount;
  }
  if (count == 0) {
    return StreamStatus::Ok;
  }
  if (prices == nullptr || periods == nullptr) {
    return StreamStatus::NullArgument;
  }
  if (bound_ > 0) {  // without branches, so that the scan vectorises
    std::int32_t refused = 0;
    // Bar size_ + k is computed when its period is at most size_ + k; no period passes
    // 2^31 - 1, so the index is clamped there.
    const auto index = static_cast<std::int32_t>(std::min<std::int64_t>(size_, kMostPlaces));
    for (std::int32_t k = 0; k < count; ++k) {
      const std::int32_t period = RoundPeriod(periods[k]);
      refused |= static_cast<std::int32_t>(period > bound_) &
                 static_cast<std::int32_t>(period - index <= k);
    }
    if (refused != 0) {
      return StreamStatus::PeriodAboveBound;
    }
  }
  // All the room an unbounded stream needs, or a bounded one's buffer: the only step that may
  // fail, before anything changes.
  const StreamStatus room = MakeRoom(bound_ > 0 ? 1 : count);
  if (room != StreamStatus::Ok) {
    return room;
  }
  // All but the last bar through the bar loop, every output in one pass; the last as Push
  // takes it, so that Revise can follow.
  const EachOutput<outputs> sink{outs};
  for (std::int32_t done = 0, n = 0; done < count - 1; done += n) {
    MakeRoom(1);  // lets a bounded stream's oldest prices go; room is there already
    n = std::min({count - 1 - done, capacity_ - used_, BatchBars});
    std::memcpy(prices_ + used_, prices + done, static_cast<std::size_t>(n) * sizeof(float));
    RunBars(step_, state_, used_, n, periods + done, sink.From(done));
    used_ += n;
    size_ += n;
  }
  MakeRoom(1);
  const std::int32_t last = count - 1;
  prices_[used_] = prices[last];
  float values[outputs];
  Compute(used_, size_, RoundPeriod(periods[last]), values);
  ++used_;
  ++size_;
  for (int o = 0; o < outputs; ++o) {
    if (outs[o] != nullptr) {
      outs[o][last] = values[o];
    }
  }
  return StreamStatus::Ok;
}

extern template class StreamEngine<StreamStep>;

}  // namespace tessaryn
