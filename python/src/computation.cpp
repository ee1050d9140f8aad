#include "computation.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

#include "routines.h"
#include "traced_buffer.h"

namespace tessaryn::python {

namespace {

// Columns converted together share the reads of the rows they lie in; the group's buffer is
// kept to about this size.
constexpr std::size_t kGroupBufferBytes = std::size_t{16} << 20;
constexpr std::ptrdiff_t kLargestGroup = 16;

// Float32 copies of the columns a thread works on, where the caller's are not in place.
struct Workspace {
  FloatBuffer prices;
  FloatBuffer periods;
};

class Worker {
 public:
  Worker(const Computation& computation, const float* shared_periods, std::ptrdiff_t group)
      : c_(computation), shared_periods_(shared_periods), group_(group) {}

  // Columns first .. first + group - 1 (fewer at the end).
  void RunGroup(std::ptrdiff_t first, Workspace& space) const {
    const std::ptrdiff_t count = std::min(group_, c_.prices.columns - first);
    const std::size_t bars = static_cast<std::size_t>(c_.prices.bars);
    const bool copy_prices = !c_.prices.InPlace();
    const bool copy_periods = PerColumnPeriods() && !c_.periods->InPlace();
    if (copy_prices) {
      c_.prices.Convert(first, count, space.prices.data());
    }
    if (copy_periods) {
      c_.periods->Convert(first, count, space.periods.data());
    }
    for (std::ptrdiff_t k = 0; k < count; ++k) {
      const std::ptrdiff_t column = first + k;
      const float* prices = copy_prices ? space.prices.data() + k * bars : c_.prices.Column(column);
      const float* periods = shared_periods_;
      if (PerColumnPeriods()) {
        periods = copy_periods ? space.periods.data() + k * bars : c_.periods->Column(column);
      }
      RunColumn(column, prices, periods);
    }
  }

  bool PerColumnPeriods() const { return c_.periods != nullptr && c_.periods->columns > 1; }

 private:
  void RunColumn(std::ptrdiff_t column, const float* prices, const float* periods) const {
    const std::size_t bars = static_cast<std::size_t>(c_.prices.bars);
    // The routines may take an output as the periods: one period on every bar needs no
    // array of its own.
    const auto periods_for = [&](float* out) {
      if (periods != nullptr) {
        return periods;
      }
      std::fill(out, out + bars, c_.fixed_period);
      return static_cast<const float*>(out);
    };
    if (TakesOnePass()) {
      // Several indicators: one pass fills them all (the trend formed once).
      float* outs[kRoutineCount] = {};
      for (int r = 0; r < c_.routine_count; ++r) {
        outs[c_.routines[r]] = c_.outputs[r] + column * bars;
      }
      const float* bar_periods = periods_for(c_.outputs[0] + column * bars);
      TessarynIndicators(prices, bar_periods, c_.prices.bars, outs[0], outs[1], outs[2]);
    } else {
      for (int r = 0; r < c_.routine_count; ++r) {
        float* out = c_.outputs[r] + column * bars;
        kRoutines[c_.routines[r]](prices, periods_for(out), c_.prices.bars, out);
      }
    }
    if (c_.nan_for_empty) {
      for (int r = 0; r < c_.routine_count; ++r) {
        MarkEmptyAsNaN(c_.outputs[r] + column * bars, bars);
      }
    }
  }

  // More than one indicator, each asked once.
  bool TakesOnePass() const {
    bool asked[kRoutineCount] = {};
    for (int r = 0; r < c_.routine_count; ++r) {
      if (asked[c_.routines[r]]) {
        return false;
      }
      asked[c_.routines[r]] = true;
    }
    return c_.routine_count > 1;
  }

  const Computation& c_;
  const float* shared_periods_;
  std::ptrdiff_t group_;
};

}  // namespace

void Compute(const Computation& c, int threads) {
  const std::size_t bars = static_cast<std::size_t>(c.prices.bars);
  if (bars == 0 || c.prices.columns == 0) {
    return;
  }

  // One column of periods for every price column is converted once, up front.
  FloatBuffer shared_copy;
  const float* shared_periods = nullptr;
  if (c.periods != nullptr && c.periods->columns == 1) {
    shared_copy.resize(c.periods->InPlace() ? 0 : bars);
    shared_periods = c.periods->Read(0, shared_copy.data());
  }

  const bool copy_prices = !c.prices.InPlace();
  const bool copy_periods = c.periods != nullptr && c.periods->columns > 1 && !c.periods->InPlace();
  std::ptrdiff_t group = 1;
  if (copy_prices || copy_periods) {
    group = std::clamp<std::ptrdiff_t>(
        static_cast<std::ptrdiff_t>(kGroupBufferBytes / (bars * sizeof(float))), 1,
        std::min(kLargestGroup, c.prices.columns));
  }
  const std::ptrdiff_t groups = (c.prices.columns + group - 1) / group;
  const std::ptrdiff_t workers = std::clamp<std::ptrdiff_t>(threads, 1, groups);

  std::vector<Workspace> spaces(static_cast<std::size_t>(workers));
  for (Workspace& space : spaces) {
    space.prices.resize(copy_prices ? group * bars : 0);
    space.periods.resize(copy_periods ? group * bars : 0);
  }

  const Worker worker(c, shared_periods, group);
  std::atomic<std::ptrdiff_t> next_group{0};
  auto work = [&](Workspace& space) {
    for (std::ptrdiff_t g = next_group++; g < groups; g = next_group++) {
      worker.RunGroup(g * group, space);
    }
  };

  std::vector<std::thread> pool;
  pool.reserve(static_cast<std::size_t>(workers));
  for (std::ptrdiff_t w = 1; w < workers; ++w) {
    try {
      pool.emplace_back(work, std::ref(spaces[w]));
    } catch (const std::system_error&) {
      break;  // fewer threads then; the columns left are taken by those running
    }
  }
  work(spaces[0]);
  for (std::thread& thread : pool) {
    thread.join();
  }
}

}  // namespace tessaryn::python
