// The routines and the stream's calls on a thread whose stack is the smallest a thread may
// have (PTHREAD_STACK_MIN, 16 KiB here), as hosts give their worker threads: every kind of
// series and period at every width, the results those of a thread with the usual stack.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/mman.h>
#include <tessaryn_stream.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "differential_cases.h"
#include "test_support.h"

namespace tessaryn::test {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;  // their runtimes put more on each frame than a host would
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// 16 KiB, or more where the system's least is more.
const std::size_t kStackBytes = std::max<std::size_t>(16384, PTHREAD_STACK_MIN);
constexpr unsigned char kPaint = 0xA5;

// Runs `work` on a thread whose stack is kStackBytes of our own, painted first, with an
// inaccessible page below it (a deeper call faults there, as it would past a thread's guard
// page), and gives the bytes of it that were written, the thread's own bookkeeping at the
// top included.
std::size_t RunOnSmallStack(const std::function<void()>& work) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  void* mapped =
      mmap(nullptr, page + kStackBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  EXPECT_NE(mapped, MAP_FAILED);
  if (mapped == MAP_FAILED) {
    return 0;
  }
  EXPECT_EQ(mprotect(mapped, page, PROT_NONE), 0);
  auto* base = static_cast<unsigned char*>(mapped) + page;
  std::memset(base, kPaint, kStackBytes);
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  EXPECT_EQ(pthread_attr_setstack(&attributes, base, kStackBytes), 0);
  pthread_t thread;
  const auto body = [](void* argument) -> void* {
    (*static_cast<const std::function<void()>*>(argument))();
    return nullptr;
  };
  auto* argument = const_cast<void*>(static_cast<const void*>(&work));
  const int created = pthread_create(&thread, &attributes, body, argument);
  pthread_attr_destroy(&attributes);
  EXPECT_EQ(created, 0);
  std::size_t used = 0;
  if (created == 0) {
    pthread_join(thread, nullptr);
    // The stack grows down: the lowest byte written tells how deep it went.
    const unsigned char* untouched =
        std::find_if(base, base + kStackBytes, [](unsigned char b) { return b != kPaint; });
    used = static_cast<std::size_t>(base + kStackBytes - untouched);
  }
  munmap(mapped, page + kStackBytes);
  return used;
}

TEST(SmallStack, RoutinesRunOnTheSmallestThreadStack) {
  if (kSanitized) {
    GTEST_SKIP() << "sanitizer runtimes need larger stacks";
  }
  std::size_t deepest = 0;
  AtEveryWidth([&](Lanes lanes) {
    unsigned seed = 100;
    for (const DifferentialCase& c : kCases) {
      const Series s = Build(c, seed++);
      for (const NamedRoutine& routine : kRoutines) {
        const std::vector<float> want = RunOver(routine.run, s.prices, s.periods);
        std::vector<float> got(s.prices.size());
        const auto count = static_cast<std::int32_t>(s.prices.size());
        deepest = std::max(deepest, RunOnSmallStack([&] {
                             routine.run(s.prices.data(), s.periods.data(), count, got.data());
                           }));
        ASSERT_TRUE(SameBits(got, want, want.size()))
            << routine.name << " at " << WidthName(lanes) << ", " << c.name;
      }
    }
  });
  RecordProperty("deepest_stack_bytes", static_cast<int>(deepest));
  std::printf("deepest stack of a routine's call: %zu of %zu bytes\n", deepest, kStackBytes);
}

TEST(SmallStack, StreamCallsRunOnTheSmallestThreadStack) {
  if (kSanitized) {
    GTEST_SKIP() << "sanitizer runtimes need larger stacks";
  }
  std::size_t deepest = 0;
  AtEveryWidth([&](Lanes lanes) {
    unsigned seed = 300;
    for (const DifferentialCase& c : kCases) {
      const Series s = Build(c, seed++);
      const auto count = static_cast<std::int32_t>(s.prices.size());
      const std::int32_t half = count / 2;
      std::vector<float> model(s.prices.size());
      bool ok = true;
      deepest = std::max(
          deepest, RunOnSmallStack([&] {
            TessarynStream* stream = TessarynStreamCreate(0);
            ok = stream != nullptr &&
                 TessarynStreamPushMany(stream, s.prices.data(), s.periods.data(), half, nullptr,
                                        nullptr, model.data()) == TESSARYN_STREAM_OK;
            for (std::int32_t i = half; ok && i < count; ++i) {
              float out[3];
              ok = TessarynStreamPush(stream, s.prices[i] * 1.5f, s.periods[i], out) == 0 &&
                   TessarynStreamRevise(stream, s.prices[i], s.periods[i], out) == 0;
              model[i] = out[2];
            }
            TessarynStreamDestroy(stream);
          }));
      ASSERT_TRUE(ok) << c.name;
      const std::vector<float> want = RunOver(&::Tessaryn, s.prices, s.periods);
      ASSERT_TRUE(SameBits(model, want, want.size())) << c.name << " at " << WidthName(lanes);
    }
  });
  RecordProperty("deepest_stack_bytes", static_cast<int>(deepest));
  std::printf("deepest stack of a stream's calls: %zu of %zu bytes\n", deepest, kStackBytes);
}

}  // namespace
}  // namespace tessaryn::test
