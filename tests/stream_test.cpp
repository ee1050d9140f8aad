// Streams give the batch routines' bits on the series so far, however bars arrive: pushed,
// revised while they form, appended many at once, refused past the bound.
#include "filters/stream.h"

#include <gtest/gtest.h>
#include <tessaryn_stream.h>

#include <cstdio>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "differential_cases.h"
#include "filters/round_period.h"
#include "filters/window_sum.h"
#include "test_support.h"

namespace tessaryn::test {
namespace {

// The three routines' outputs over a whole series, in the stream's order.
struct Outputs {
  std::vector<float> trend, cycle, model;
};

Outputs Batch(const std::vector<float>& prices, const std::vector<float>& periods) {
  return {RunOver(&::ITrend, prices, periods), RunOver(&::CyclicalComponent, prices, periods),
          RunOver(&::Tessaryn, prices, periods)};
}

// Same bits, or NaN where the batch has NaN (payloads may differ).
bool Same(float a, float b) {
  return Bits(a) == Bits(b) || (a != a && b != b);
}

::testing::AssertionResult SameBar(const BarValues& got, const Outputs& want, std::size_t i) {
  if (Same(got.trend, want.trend[i]) && Same(got.cycle, want.cycle[i]) &&
      Same(got.model, want.model[i]))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "bar " << i << ": " << got.trend << " " << got.cycle << " " << got.model
         << " instead of " << want.trend[i] << " " << want.cycle[i] << " " << want.model[i];
}

// A value a forming bar may pass through: near the close, far off, or one of the prices that
// defeat the exactness check (then `odd` is set).
float Tick(std::mt19937& rng, float close, bool& odd) {
  const float odds[] = {std::numeric_limits<float>::quiet_NaN(), 3.4E+38f, 1e30f, 0x1p-40f,
                        std::numeric_limits<float>::infinity()};
  const int kind = std::uniform_int_distribution<int>(0, 19)(rng);
  odd = kind == 0;
  if (odd)
    return odds[std::uniform_int_distribution<int>(0, 4)(rng)];
  return close * (1.0f + 0.01f * std::normal_distribution<float>()(rng)) + (kind == 1 ? 1e6f : 0);
}

TEST(Stream, EqualsTheRoutinesBarByBarWithRevisions) {
  unsigned seed = 300;
  for (const DifferentialCase& c : kCases) {
    const Series s = Build(c, seed++);
    const std::size_t bars = std::min<std::size_t>(s.prices.size(), 2500);
    const std::vector<float> prices(s.prices.begin(), s.prices.begin() + bars);
    const std::vector<float> periods(s.periods.begin(), s.periods.begin() + bars);
    const Outputs want = Batch(prices, periods);
    std::mt19937 rng(seed);
    Stream stream;
    for (std::size_t i = 0; i < bars; ++i) {
      // A forming bar: a few ticks, some with another period, then the close.
      const int ticks = std::uniform_int_distribution<int>(0, 3)(rng);
      bool odd = false;
      stream.Push(ticks ? Tick(rng, prices[i], odd) : prices[i], periods[i]);
      for (int t = 1; t < ticks; ++t) {
        const float period = t == 1 ? periods[i] * 2.0f : periods[i];
        const float tick = Tick(rng, prices[i], odd);
        const BarValues forming = stream.Revise(tick, period);
        // Against the routines on the series with this bar: now and then, and wherever the
        // price would defeat the exactness check, which the stream must see after a revision.
        if (i % 97 == 0 || odd) {
          std::vector<float> p(prices.begin(), prices.begin() + i + 1);
          std::vector<float> q(periods.begin(), periods.begin() + i + 1);
          p.back() = tick;
          q.back() = period;
          ASSERT_TRUE(SameBar(forming, Batch(p, q), i)) << c.name << ", forming";
        }
      }
      if (ticks) {  // else pushed at its close already
        ASSERT_TRUE(SameBar(stream.Revise(prices[i], periods[i]), want, i)) << c.name;
      }
    }
    ASSERT_EQ(stream.Size(), static_cast<std::int64_t>(bars));
    // Bars pushed at their close: checked by a second stream that never revises.
    Stream plain;
    for (std::size_t i = 0; i < bars; ++i)
      ASSERT_TRUE(SameBar(plain.Push(prices[i], periods[i]), want, i)) << c.name << ", plain";
  }
}

// A bounded stream's carried window may leave its buffer while empty bars pass (periods 0 or
// NaN, or a revision to one): the bars after them, pushed, revised or many at once, read only
// the prices it keeps and give the routines' bits (the sanitized build checks the reads).
TEST(Stream, EmptyBarsLetTheCarriedWindowLeaveABoundedBuffer) {
  constexpr std::int32_t bound = 20;
  std::mt19937 rng(17);
  std::vector<float> prices, periods;
  // The buffer moves its last prices to the front every 4096 bars or so: long runs of empty
  // bars make most of those moves fall inside one.
  for (int run = 0; run < 100; ++run) {
    const int computed = std::uniform_int_distribution<int>(1, 40)(rng);
    const int empty = std::uniform_int_distribution<int>(1, 300)(rng);
    for (int k = 0; k < computed + empty; ++k) {
      prices.push_back(100.0f + std::normal_distribution<float>(0.0f, 1.0f)(rng));
      periods.push_back(k < computed ? static_cast<float>(std::uniform_int_distribution<int>(
                                           run % 2 ? 19 : 3, bound)(rng))
                                     : (k % 2 ? 0.0f : std::numeric_limits<float>::quiet_NaN()));
    }
  }
  const Outputs want = Batch(prices, periods);
  Stream pushed(bound);
  Stream revised(bound);
  for (std::size_t i = 0; i < prices.size(); ++i) {
    ASSERT_TRUE(SameBar(pushed.Push(prices[i], periods[i]), want, i)) << "pushed";
    revised.Push(prices[i] + 1.0f, 0.0f);  // formed empty, closed as given
    ASSERT_TRUE(SameBar(revised.Revise(prices[i], periods[i]), want, i)) << "revised";
  }
  Stream many(bound);
  std::vector<float> trend(prices.size()), cycle(prices.size()), model(prices.size());
  many.PushMany(prices.data(), periods.data(), static_cast<std::int32_t>(prices.size()),
                trend.data(), cycle.data(), model.data());
  for (std::size_t i = 0; i < prices.size(); ++i) {
    ASSERT_TRUE(SameBar({trend[i], cycle[i], model[i]}, want, i)) << "many at once";
  }
}

// The carried window sum in double against a fresh one, after every push and revision: a
// revised price the exactness check did not see would carry a sum that rounds differently.
// Ticks that do defeat the check, a huge one beside a close of the other sign among them.
TEST(Stream, CarriedSumsHaveTheFreshSumsBitsThroughRevisions) {
  const float ticks[] = {0x1p60f,
                         -0x1p60f,
                         0x1p40f + 0x1p17f,
                         3.4E+38f,
                         0x1p-40f,
                         0.0f,
                         std::numeric_limits<float>::quiet_NaN()};
  unsigned seed = 700;
  for (const DifferentialCase& c : kCases) {
    const Series s = Build(c, seed++);
    std::mt19937 rng(seed);
    StreamEngine<StreamStep> engine(0);
    std::vector<float> prices;  // the series so far, the newest bar as last revised
    const auto check = [&](float period, const char* what) {
      const std::int32_t rounded = RoundPeriod(period);
      const auto bar = static_cast<std::int32_t>(prices.size()) - 1;
      if (rounded < 1 || rounded > bar)
        return ::testing::AssertionSuccess();
      const double fresh = FreshWindowSum(prices.data(), bar, rounded);
      const CarriedWindow& w = engine.State().serial.trend.window;
      if (w.period == rounded && (Bits(w.sum) == Bits(fresh) || (w.sum != w.sum && fresh != fresh)))
        return ::testing::AssertionSuccess();
      return ::testing::AssertionFailure() << c.name << ", bar " << bar << " " << what << ": "
                                           << w.sum << " instead of " << fresh;
    };
    float out[3];
    for (std::size_t i = 0; i < std::min<std::size_t>(s.prices.size(), 600); ++i) {
      const int ticking = std::uniform_int_distribution<int>(0, 2)(rng);
      for (int t = 0; t <= ticking; ++t) {
        const auto pick =
            std::uniform_int_distribution<std::size_t>(0, 2 * std::size(ticks) - 1)(rng);
        const float price = t == ticking              ? s.prices[i]
                            : pick < std::size(ticks) ? ticks[pick]
                                                      : s.prices[i] * 1.01f;
        if (t == 0) {
          prices.push_back(price);
          ASSERT_EQ(engine.Push(price, s.periods[i], out), StreamStatus::Ok);
        } else {
          prices.back() = price;
          ASSERT_EQ(engine.Revise(price, s.periods[i], out), StreamStatus::Ok);
        }
        ASSERT_TRUE(check(s.periods[i], t == 0 ? "pushed" : "revised"));
      }
    }
  }
}

TEST(Stream, PushManyThenPushEqualsPushingOneByOne) {
  const Series s = RandomSeries(7, 10000, 120.0f, 300);
  const Outputs want = Batch(s.prices, s.periods);
  // Splits at chunk and batch boundaries, bounded and not.
  const struct {
    std::int32_t bound;
    std::size_t split;
  } splits[] = {{0, 1},     {0, 255},   {0, 256},    {0, 4097},   {0, 9999},
                {0, 10000}, {300, 257}, {300, 4096}, {300, 8200}, {1000, 9000}};
  for (const auto& split : splits) {
    Stream stream(split.bound);
    Outputs got{std::vector<float>(s.prices.size()), std::vector<float>(s.prices.size()),
                std::vector<float>(s.prices.size())};
    stream.PushMany(s.prices.data(), s.periods.data(), static_cast<std::int32_t>(split.split),
                    got.trend.data(), got.cycle.data(), got.model.data());
    for (std::size_t i = 0; i < split.split; ++i)
      ASSERT_TRUE(SameBar({got.trend[i], got.cycle[i], got.model[i]}, want, i))
          << "bound " << split.bound << ", split " << split.split;
    // The last bar of the batch can be revised, as if it had been pushed.
    const std::size_t last = split.split - 1;
    stream.Revise(s.prices[last] + 1.0f, s.periods[last]);
    ASSERT_TRUE(SameBar(stream.Revise(s.prices[last], s.periods[last]), want, last));
    for (std::size_t i = split.split; i < s.prices.size(); ++i)
      ASSERT_TRUE(SameBar(stream.Push(s.prices[i], s.periods[i]), want, i))
          << "bound " << split.bound << ", split " << split.split;
  }
  // Outputs that are not wanted may be NULL; the state is the same.
  Stream stream;
  stream.PushMany(s.prices.data(), s.periods.data(), 5000, nullptr, nullptr, nullptr);
  for (std::size_t i = 5000; i < 5100; ++i)
    ASSERT_TRUE(SameBar(stream.Push(s.prices[i], s.periods[i]), want, i));
}

TEST(Stream, RefusesPeriodsAboveItsBoundAndStaysAsItWas) {
  constexpr std::int32_t kBound = 50;
  Series s = RandomSeries(11, 6000, 40.0f, 40);
  std::vector<float> kept_prices, kept_periods;  // the series without the refused bars
  Stream stream(kBound);
  std::vector<BarValues> got;
  for (std::size_t i = 0; i < s.prices.size(); ++i) {
    const std::int64_t index = stream.Size();
    if (i % 101 == 7) {  // above the bound: refused once the bar index reaches it
      const float period = i % 2 ? 80.0f : 50.6f;
      try {
        stream.Push(s.prices[i], period);
        EXPECT_LT(index, 51) << "bar " << i << " accepted above the bound";
      } catch (const StreamError& e) {
        EXPECT_EQ(e.code(), TESSARYN_STREAM_PERIOD_ABOVE_BOUND);
        EXPECT_GE(index, 51);
        EXPECT_EQ(stream.Size(), index);
        // A revision of the newest bar to such a period is refused the same way.
        EXPECT_THROW(stream.Revise(kept_prices.back(), period), StreamError);
        continue;
      }
      kept_prices.push_back(s.prices[i]);
      kept_periods.push_back(period);
      continue;
    }
    kept_prices.push_back(s.prices[i]);
    kept_periods.push_back(s.periods[i]);
    got.push_back(stream.Push(s.prices[i], s.periods[i]));
    if (i % 5 == 0)  // a refused revision between must not have changed the bar
      got.back() = stream.Revise(s.prices[i], s.periods[i]);
  }
  const Outputs want = Batch(kept_prices, kept_periods);
  for (std::size_t i = 0, k = 0; i < kept_prices.size(); ++i) {
    if (kept_periods[i] == 80.0f || kept_periods[i] == 50.6f)
      continue;  // accepted early, not in `got`
    ASSERT_TRUE(SameBar(got[k++], want, i));
  }
  // PushMany refuses the whole call and appends nothing.
  const float prices[] = {1, 2, 3};
  const float periods[] = {10, 90, 10};
  const std::int64_t before = stream.Size();
  EXPECT_THROW(stream.PushMany(prices, periods, 3, nullptr, nullptr, nullptr), StreamError);
  EXPECT_EQ(stream.Size(), before);
}

TEST(Stream, CApiErrorsChangeNothing) {
  float out[3] = {1, 2, 3};
  const float prices[] = {5, 6};
  const float periods[] = {1, 1};
  EXPECT_EQ(TessarynStreamCreate(-1), nullptr);
  TessarynStream* stream = TessarynStreamCreate(0);
  ASSERT_NE(stream, nullptr);
  const struct {
    const char* what;
    std::int32_t code;
    std::int32_t want;
  } calls[] = {
      {"push to NULL", TessarynStreamPush(nullptr, 1, 1, out), TESSARYN_STREAM_NULL_ARGUMENT},
      {"push to NULL out", TessarynStreamPush(stream, 1, 1, nullptr),
       TESSARYN_STREAM_NULL_ARGUMENT},
      {"revise empty", TessarynStreamRevise(stream, 1, 1, out), TESSARYN_STREAM_EMPTY},
      {"revise NULL", TessarynStreamRevise(nullptr, 1, 1, out), TESSARYN_STREAM_NULL_ARGUMENT},
      {"many, negative count", TessarynStreamPushMany(stream, prices, periods, -1, 0, 0, 0),
       TESSARYN_STREAM_NEGATIVE_COUNT},
      {"many, NULL prices", TessarynStreamPushMany(stream, nullptr, periods, 2, 0, 0, 0),
       TESSARYN_STREAM_NULL_ARGUMENT},
      {"many, NULL periods", TessarynStreamPushMany(stream, prices, nullptr, 2, 0, 0, 0),
       TESSARYN_STREAM_NULL_ARGUMENT},
      {"many to NULL", TessarynStreamPushMany(nullptr, prices, periods, 2, 0, 0, 0),
       TESSARYN_STREAM_NULL_ARGUMENT},
      {"many, none", TessarynStreamPushMany(stream, nullptr, nullptr, 0, 0, 0, 0),
       TESSARYN_STREAM_OK},
  };
  for (const auto& call : calls) {
    EXPECT_EQ(call.code, call.want) << call.what;
    EXPECT_STRNE(TessarynStreamMessage(call.code), "") << call.what;
  }
  EXPECT_EQ(TessarynStreamSize(stream), 0);
  EXPECT_EQ(Bits(out[0]), Bits(1.0f));  // untouched by the failed calls
  EXPECT_EQ(TessarynStreamSize(nullptr), 0);
  EXPECT_STREQ(TessarynStreamMessage(12345), "unknown error code");
  TessarynStreamReset(nullptr);
  // After the errors, the stream works from where it was.
  ASSERT_EQ(TessarynStreamPush(stream, 5, 1, out), TESSARYN_STREAM_OK);
  EXPECT_TRUE(IsEmpty(out[0]) && IsEmpty(out[1]) && IsEmpty(out[2]));
  ASSERT_EQ(TessarynStreamPush(stream, 6, 1, out), TESSARYN_STREAM_OK);
  EXPECT_EQ(out[0], 6.0f);
  EXPECT_EQ(out[1], 1.0f);  // bar 1: the plain change
  EXPECT_EQ(out[2], 7.0f);
  TessarynStreamReset(stream);
  EXPECT_EQ(TessarynStreamSize(stream), 0);
  ASSERT_EQ(TessarynStreamPush(stream, 5, 1, out), TESSARYN_STREAM_OK);
  EXPECT_TRUE(IsEmpty(out[0]));
  TessarynStreamDestroy(stream);
  TessarynStreamDestroy(nullptr);
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0)
      return std::stol(line.substr(6));
  return -1;
}

TEST(Stream, ABoundKeepsMemoryFlatOverAMillionBars) {
  const Series s = RandomSeries(13, 4096, 100.0f, 200);
  Stream stream(200);
  BarValues last{};
  for (int i = 0; i < 20000; ++i)  // past the first times the buffer fills
    last = stream.Push(s.prices[i % 4096], s.periods[i % 4096]);
  ResidentKiB();  // its own first allocations are not the stream's
  const long before = ResidentKiB();
  for (int i = 20000; i < 1'000'000; ++i)
    last = stream.Push(s.prices[i % 4096], s.periods[i % 4096]);
  const long after = ResidentKiB();
  EXPECT_FALSE(IsEmpty(last.trend));
  EXPECT_LT(after - before, 64) << before << " KiB before, " << after << " KiB after";
}

TEST(Stream, DistinctStreamsOnDistinctThreads) {
  const Series s = RandomSeries(17, 20000, 50.0f, 100);
  const Outputs want = Batch(s.prices, s.periods);
  std::vector<std::size_t> mismatches(4);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < mismatches.size(); ++t) {
    threads.emplace_back([&, t] {
      // Three streams a thread, used in turn: bounded and not, pushed and appended in bulk.
      Stream streams[] = {Stream(t % 2 ? 100 : 0), Stream(150), Stream()};
      std::vector<float> bulk(3000);
      streams[2].PushMany(s.prices.data(), s.periods.data(), 3000, nullptr, nullptr, bulk.data());
      for (std::size_t i = 0; i < 3000; ++i)
        mismatches[t] += !Same(bulk[i], want.model[i]);
      for (std::size_t i = 0; i < s.prices.size(); ++i)
        for (std::size_t k = 0; k < 3; ++k)
          if (k < 2 || i >= 3000)
            mismatches[t] += !SameBar(streams[k].Push(s.prices[i], s.periods[i]), want, i);
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  for (std::size_t t = 0; t < mismatches.size(); ++t)
    EXPECT_EQ(mismatches[t], 0u) << "thread " << t;
}

}  // namespace
}  // namespace tessaryn::test
