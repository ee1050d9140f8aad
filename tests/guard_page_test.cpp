// Arrays placed against an unreadable page: a read past the end of the caller's arrays, by
// any path (two, four or one bar at a time, with or without AVX2), stops the test.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "test_support.h"

namespace tessaryn::test {
namespace {

// `values` copied to the end of fresh pages followed by a page that may not be read.
class GuardedArray {
 public:
  explicit GuardedArray(const std::vector<float>& values) : count_(values.size()) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t bytes = count_ * sizeof(float);
    span_ = (bytes + page - 1) / page * page + page;
    void* base = mmap(nullptr, span_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    base_ = static_cast<char*>(base);
    mprotect(base_ + span_ - page, page, PROT_NONE);
    data_ = reinterpret_cast<float*>(base_ + span_ - page - bytes);
    std::memcpy(data_, values.data(), bytes);
  }
  ~GuardedArray() { munmap(base_, span_); }
  GuardedArray(const GuardedArray&) = delete;
  GuardedArray& operator=(const GuardedArray&) = delete;

  float* data() const { return data_; }
  std::vector<float> Copy() const { return {data_, data_ + count_}; }

 private:
  std::size_t count_;
  std::size_t span_ = 0;
  char* base_ = nullptr;
  float* data_ = nullptr;
};

struct GuardCase {
  const char* name;
  int bars;
  float (*period)(int bar);
};

const GuardCase kGuardCases[] = {
    {"short windows, one period", 1024, [](int) { return 6.0f; }},
    {"short windows, drifting by one", 1024,
     [](int bar) { return 6.0f + static_cast<float>(bar % 2); }},
    {"short windows, odd count", 1023,
     [](int bar) { return 5.0f + static_cast<float>(bar / 3 % 2); }},
    {"long windows, drifting", 2048,
     [](int bar) {
       return 300.0f + static_cast<float>(bar % 200 < 100 ? bar % 100 : 100 - bar % 100);
     }},
    {"periods of 1 and 2", 1028, [](int bar) { return 1.0f + static_cast<float>(bar % 2); }},
};

TEST(GuardPages, NoRoutineReadsPastTheEndOfItsArrays) {
  for (const GuardCase& c : kGuardCases) {
    Series series = RandomSeries(77, c.bars, 300.0f, 10);
    for (int bar = 0; bar < c.bars; ++bar)
      series.periods[bar] = c.period(bar);
    for (const NamedRoutine& routine : kRoutines) {
      const std::vector<float> want = RunOver(routine.run, series.prices, series.periods);
      const GuardedArray prices(series.prices);
      const GuardedArray periods(series.periods);
      const GuardedArray out(std::vector<float>(series.prices.size()));
      routine.run(prices.data(), periods.data(), c.bars, out.data());
      const std::vector<float> got = out.Copy();
      for (int bar = 0; bar < c.bars; ++bar) {
        ASSERT_EQ(Bits(got[bar]), Bits(want[bar])) << routine.name << ", " << c.name;
      }
    }
  }
}

}  // namespace
}  // namespace tessaryn::test
