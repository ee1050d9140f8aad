#include "filters/stream.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "filters/bar_loop.h"
#include "filters/round_period.h"
#include "filters/widest_vectors.h"

namespace tessaryn {

namespace {

constexpr std::int64_t kMostPlaces = INT32_MAX;

bool Computed(std::int64_t bar, std::int32_t period) noexcept {
  return period >= 1 && period <= bar;
}

// The bar loop over a batch of bars, compiled as the routines are (widest_vectors.h), so that
// PushMany runs the routines' own code.
#define TESSARYN_STREAM_BATCH(Name, Step)                                                       \
  TESSARYN_WIDEST_VECTORS void Name(Step& step, Step::State<double>& state, std::int32_t first, \
                                    std::int32_t count, const float* periods,                   \
                                    float* out) noexcept {                                      \
    BarLoop(step, state, first, count, periods, out);                                           \
  }
TESSARYN_STREAM_BATCH(TrendBatch, TrendStep)
TESSARYN_STREAM_BATCH(CycleBatch, CycleStep)
TESSARYN_STREAM_BATCH(ModelBatch, TrendPlusCycleStep)
#undef TESSARYN_STREAM_BATCH

}  // namespace

// A bounded stream keeps at least three prices, so that a kept bar's place is never one of
// the first three, which the cycle treats apart.
StreamEngine::StreamEngine(std::int32_t bound) noexcept
    : bound_(bound),
      keep_(bound > 0 ? static_cast<std::int32_t>(
                            std::min(std::max<std::int64_t>(bound, 2) + 1, kMostPlaces))
                      : 0),
      step_(nullptr) {}

StreamEngine::~StreamEngine() {
  std::free(prices_);
}

// A live series mostly keeps its period: its rounding is kept with the float's bits.
std::int32_t StreamEngine::Rounded(float period) noexcept {
  const auto bits = std::bit_cast<std::uint32_t>(period);
  if (bits != periodBits_) {
    periodBits_ = bits;
    rounded_ = RoundPeriod(period);
  }
  return rounded_;
}

// A bar the routines would compute (period up to its index) with a period above the bound
// would need prices the stream no longer has.
bool StreamEngine::Refuses(std::int32_t period, std::int64_t bar) const noexcept {
  return bound_ > 0 && period > bound_ && Computed(bar, period);
}

// Room for `bars` more places: a bounded buffer lets its oldest prices go first; a buffer
// that must grow and cannot is left as it was. (A bar's Push comes here only when the buffer
// is full.)
__attribute__((noinline)) StreamStatus StreamEngine::MakeRoom(std::int32_t bars) noexcept {
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
  step_.trend.prices = prices_;
  step_.cycle.prices = prices_;
  return StreamStatus::Ok;
}

// The prices from place `shift` on move to the front; what refers to places follows them.
void StreamEngine::Rebase(std::int32_t shift) noexcept {
  std::memmove(prices_, prices_ + shift, static_cast<std::size_t>(used_ - shift) * sizeof(float));
  used_ -= shift;
  state_.trend.window.newest -= shift;
  step_.trend.exact.Rebase(shift);
  step_.trend.runs.Forget();
}

// A bar whose period is that of the last computed bar, and which comes right after it with
// its cycle's coefficients in hand: its window is the last one moved on by a bar. Most bars of
// a live series are such, and are neither empty nor refused.
bool StreamEngine::MovesOn(std::int32_t place, std::int32_t period) const noexcept {
  const CarriedWindow& w = state_.trend.window;
  return period > 0 && w.period == period && w.newest == place - 1 &&
         state_.cycle.coefficients.period == period;
}

// Such a bar, its price in place and its sums confirmed exact (TrendStep::SlidesExactly),
// taken as the routines take a uniform stretch.
void StreamEngine::SlideOn(std::int32_t place, std::int64_t bar, float out[3]) noexcept {
  Store(Values(step_.Slide<double, true>(state_, place, nullptr), bar), out);
}

// What a slide overwrites (the rest of the state it moves or leaves as it was), kept before
// it so that BeforeNewest can put it back.
void StreamEngine::KeepSlidOver() noexcept {
  slidOver_ = {state_.trend.window.sum, state_.trend.changes.h3, state_.cycle.highPass,
               state_.cycle.values.h3};
  newestSlid_ = true;
}

// The state before the newest bar, at `place`, back. After a slide, what it overwrote is put
// back, and the whole state kept for the bar's next revision.
void StreamEngine::BeforeNewest(std::int32_t place) noexcept {
  if (!newestSlid_) {
    state_ = beforeNewest_;
    return;
  }
  state_.trend.window.sum = slidOver_.sum;
  state_.trend.window.newest = place - 1;
  state_.trend.changes.Retreat(slidOver_.trendDropped);
  state_.cycle.highPass = slidOver_.highPass;
  state_.cycle.values.Retreat(slidOver_.cycleDropped);
  beforeNewest_ = state_;
  newestSlid_ = false;
}

// The newest bar's values, its price already in place. Each step does as the bar loop does
// for a bar on its own: the trend first confirms how its sum may be formed (PlanBar, its
// Plan for a lone bar).
__attribute__((noinline, flatten)) StreamValues StreamEngine::Compute(
    std::int32_t place, std::int64_t bar, std::int32_t period) noexcept {
  if (!Computed(bar, period)) {
    return {EmptyValue, EmptyValue, EmptyValue};
  }
  step_.trend.PlanBar(state_.trend, place, period);
  return Values(step_.Record(state_, place, period), bar);
}

StreamValues StreamEngine::Values(const Inputs& inputs, std::int64_t bar) noexcept {
  const auto index = static_cast<std::int32_t>(std::min<std::int64_t>(bar, 3));
  const double trend = step_.trend.Value(state_.trend, inputs.trend, index);
  const double cycle = step_.cycle.Value(state_.cycle, inputs.cycle, index);
  return {static_cast<float>(trend), static_cast<float>(cycle),
          static_cast<float>(TrendPlusCycle(trend, cycle))};
}

// Straight into the caller's array: a struct handed back and copied there was read back with
// loads wider than the stores just made, which wait for those stores to reach the cache.
void StreamEngine::Store(const StreamValues& values, float out[3]) noexcept {
  out[0] = values.trend;
  out[1] = values.cycle;
  out[2] = values.model;
}

// Appends one bar whose room is made: what Revise goes back to is kept first, the whole state.
void StreamEngine::Append(float price) noexcept {
  beforeNewest_ = state_;
  newestSlid_ = false;
  prices_[used_] = price;
}

// The common bar inline, without a call; every other through PushAnyBar.
__attribute__((flatten)) StreamStatus StreamEngine::Push(float price, float period,
                                                         float out[3]) noexcept {
  const std::int32_t rounded = Rounded(period);
  if (used_ < capacity_ && MovesOn(used_, rounded)) {
    prices_[used_] = price;
    if (step_.trend.SlidesExactly(used_, rounded)) {
      KeepSlidOver();
      SlideOn(used_, size_, out);
      ++used_;
      ++size_;
      return StreamStatus::Ok;
    }
  }
  return PushAnyBar(price, rounded, out);
}

__attribute__((noinline)) StreamStatus StreamEngine::PushAnyBar(float price, std::int32_t rounded,
                                                                float out[3]) noexcept {
  if (Refuses(rounded, size_)) {
    return StreamStatus::PeriodAboveBound;
  }
  if (used_ == capacity_) {
    const StreamStatus room = MakeRoom(1);
    if (room != StreamStatus::Ok) {
      return room;
    }
  }
  Append(price);
  Store(Compute(used_, size_, rounded), out);
  ++used_;
  ++size_;
  return StreamStatus::Ok;
}

__attribute__((flatten)) StreamStatus StreamEngine::Revise(float price, float period,
                                                           float out[3]) noexcept {
  if (size_ == 0) {
    return StreamStatus::Empty;
  }
  const std::int32_t rounded = Rounded(period);
  if (Refuses(rounded, size_ - 1)) {
    return StreamStatus::PeriodAboveBound;
  }
  const std::int32_t place = used_ - 1;
  BeforeNewest(place);
  step_.trend.exact.Forget(place);
  step_.trend.runs.Forget(place);
  prices_[place] = price;
  if (MovesOn(place, rounded) && step_.trend.SlidesExactly(place, rounded)) {
    SlideOn(place, size_ - 1, out);
  } else {
    Store(Compute(place, size_ - 1, rounded), out);
  }
  return StreamStatus::Ok;
}

// The bars through the bar loop, as the routines run them: each output its own pass from the
// state before (the trend's and the cycle's on copies), the stream's state from trend plus
// cycle.
void StreamEngine::RunBatch(std::int32_t count, const float* periods, float* trend, float* cycle,
                            float* model) noexcept {
  if (trend != nullptr) {
    TrendStep::State<double> state = state_.trend;
    TrendBatch(step_.trend, state, used_, count, periods, trend);
  }
  if (cycle != nullptr) {
    CycleStep::State<double> state = state_.cycle;
    CycleBatch(step_.cycle, state, used_, count, periods, cycle);
  }
  ModelBatch(step_, state_, used_, count, periods, model != nullptr ? model : scratch_);
}

StreamStatus StreamEngine::PushMany(const float* prices, const float* periods, std::int32_t count,
                                    float* trend, float* cycle, float* model) noexcept {
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
  const auto at = [](float* out, std::int32_t k) { return out != nullptr ? out + k : nullptr; };
  // All but the last bar in batches; the last as Push takes it, so that Revise can follow.
  for (std::int32_t done = 0, n = 0; done < count - 1; done += n) {
    MakeRoom(1);  // lets a bounded stream's oldest prices go; room is there already
    // Batches small enough that the three passes over one find its prices in the cache.
    n = std::min({count - 1 - done, capacity_ - used_, BatchBars});
    std::memcpy(prices_ + used_, prices + done, static_cast<std::size_t>(n) * sizeof(float));
    RunBatch(n, periods + done, at(trend, done), at(cycle, done), at(model, done));
    used_ += n;
    size_ += n;
  }
  MakeRoom(1);
  const std::int32_t last = count - 1;
  Append(prices[last]);
  const StreamValues values = Compute(used_, size_, RoundPeriod(periods[last]));
  ++used_;
  ++size_;
  if (trend != nullptr) {
    trend[last] = values.trend;
  }
  if (cycle != nullptr) {
    cycle[last] = values.cycle;
  }
  if (model != nullptr) {
    model[last] = values.model;
  }
  return StreamStatus::Ok;
}

void StreamEngine::Reset() noexcept {
  used_ = 0;
  size_ = 0;
  state_ = State{};
  beforeNewest_ = State{};
  newestSlid_ = false;
  step_.trend.exact = ExactSums{};
  step_.trend.runs.Forget();
}

}  // namespace tessaryn
