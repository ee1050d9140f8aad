// A saved and restored stream goes on as the original would, bit for bit, and bytes that are
// not a saved stream's are refused with their code.
#include <gtest/gtest.h>
#include <tessaryn_stream.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "differential_cases.h"
#include "filters/crc32.h"
#include "filters/round_period.h"
#include "test_support.h"

namespace tessaryn::test {
namespace {

bool SameBits(const BarValues& a, const BarValues& b) {
  return Bits(a.trend) == Bits(b.trend) && Bits(a.cycle) == Bits(b.cycle) &&
         Bits(a.model) == Bits(b.model);
}

// The check of the bytes after an edit of the payload, so that only the fields tell.
void Reseal(std::vector<unsigned char>& bytes) {
  const std::uint32_t crc = Crc32(bytes.data() + 16, bytes.size() - 16);
  for (int b = 0; b < 4; ++b)
    bytes[12 + b] = static_cast<unsigned char>(crc >> (8 * b));
}

std::int32_t RestoreCode(const std::vector<unsigned char>& bytes) {
  std::int32_t error = -1;
  TessarynStream* const s =
      TessarynStreamRestore(bytes.data(), static_cast<std::int64_t>(bytes.size()), &error);
  TessarynStreamDestroy(s);
  return s == nullptr ? error : 0;
}

// Saved every few bars and restored, with revisions pending, unbounded and at the series'
// longest period as bound: the restored stream, and one restored from its own bytes, give
// the original's bits from there on, pushes and revisions alike, and save the same bytes.
TEST(SavedStream, GoesOnAsTheOriginalWouldAtEveryKindOfPeriod) {
  unsigned seed = 900;
  for (const DifferentialCase& c : kCases) {
    const Series s = Build(c, seed++);
    const std::size_t bars = std::min<std::size_t>(s.prices.size(), 1500);
    std::int32_t longest = 1;
    for (std::size_t i = 0; i < bars; ++i)
      longest = std::max(longest, RoundPeriod(s.periods[i]));
    for (const std::int32_t bound : {0, longest}) {
      std::mt19937 rng(seed);
      Stream original(bound);
      Stream copy(bound);
      for (std::size_t i = 0; i < bars; ++i) {
        const int ticks = std::uniform_int_distribution<int>(0, 2)(rng);
        const float first = ticks ? s.prices[i] * 1.003f : s.prices[i];
        ASSERT_TRUE(SameBits(original.Push(first, s.periods[i]), copy.Push(first, s.periods[i])))
            << c.name << ", bound " << bound << ", bar " << i;
        if (i % 37 == 5 || i < 6) {  // a restart with the newest bar still forming
          const std::vector<unsigned char> bytes = copy.Save();
          copy = Stream::Restore(bytes);
          ASSERT_EQ(copy.Save(), bytes) << c.name << ", bar " << i;
          ASSERT_EQ(copy.Size(), original.Size());
        }
        for (int t = 1; t <= ticks; ++t) {
          const float price = t == ticks ? s.prices[i] : s.prices[i] * 0.998f;
          const float period = t == 1 && ticks == 2
                                   ? std::min<float>(s.periods[i] + 1.0f, bound ? bound : 1e9f)
                                   : s.periods[i];
          ASSERT_TRUE(SameBits(original.Revise(price, period), copy.Revise(price, period)))
              << c.name << ", bound " << bound << ", bar " << i << ", tick " << t;
        }
      }
    }
  }
}

// Restored after PushMany at a bounded stream's rebase points: the prices it keeps are the
// window's, wherever the buffer stood.
TEST(SavedStream, BoundedStreamsAcrossTheirBufferEnds) {
  const Series s = RandomSeries(31, 12000, 80.0f, 150);
  const struct {
    std::int32_t bound;
    std::int32_t split;
  } cases[] = {{150, 1},    {150, 150},  {150, 151},  {150, 152},  {150, 4246},
               {150, 4247}, {150, 4248}, {150, 9000}, {200, 4297}, {1000, 11000}};
  for (const auto& k : cases) {
    Stream original(k.bound);
    original.PushMany(s.prices.data(), s.periods.data(), k.split, nullptr, nullptr, nullptr);
    Stream copy = Stream::Restore(original.Save());
    ASSERT_TRUE(SameBits(original.Revise(s.prices[k.split - 1] + 3.0f, s.periods[k.split - 1]),
                         copy.Revise(s.prices[k.split - 1] + 3.0f, s.periods[k.split - 1])))
        << "bound " << k.bound << ", split " << k.split;
    for (std::size_t i = static_cast<std::size_t>(k.split); i < s.prices.size(); ++i)
      ASSERT_TRUE(
          SameBits(original.Push(s.prices[i], s.periods[i]), copy.Push(s.prices[i], s.periods[i])))
          << "bound " << k.bound << ", split " << k.split << ", bar " << i;
    const std::vector<float> tail(s.prices.end() - 300, s.prices.end());
    const std::vector<float> tailPeriods(s.periods.end() - 300, s.periods.end());
    std::vector<float> a(300), b(300);
    original.PushMany(tail.data(), tailPeriods.data(), 300, a.data(), nullptr, nullptr);
    copy.PushMany(tail.data(), tailPeriods.data(), 300, b.data(), nullptr, nullptr);
    for (int i = 0; i < 300; ++i)
      ASSERT_EQ(Bits(a[i]), Bits(b[i])) << "bound " << k.bound << ", batch bar " << i;
  }
}

// The bytes of a saved stream of this major version: they restore, on any platform and by
// any later library of the same major version, and go on as the stream they were saved from.
TEST(SavedStream, BytesAreFixedAndRestoreOnEveryPlatform) {
  Stream stream(3);
  const float prices[] = {10.0f, 10.5f, 10.25f, 11.0f, 10.75f};
  for (const float p : prices)
    stream.Push(p, 3.0f);
  stream.Revise(10.5f, 2.0f);
  const std::vector<unsigned char> bytes = stream.Save();
  // The header: magic, major 1, minor 0, the payload's length and CRC-32.
  ASSERT_GE(bytes.size(), 16u);
  EXPECT_EQ(std::memcmp(bytes.data(), "TSST\x01\x00\x00\x00", 8), 0);
  const std::uint32_t length = bytes[8] | bytes[9] << 8 | bytes[10] << 16 | bytes[11] << 24;
  EXPECT_EQ(length, bytes.size() - 16);
  // bound 3 keeps 4 prices: 4 + 8 + 4 + 1 fixed, 92 of the state and 60 kept for Revise, 4 + 16 of
  // prices.
  EXPECT_EQ(bytes.size(), 16u + 17 + 152 + 20);
  EXPECT_EQ(Crc32(reinterpret_cast<const unsigned char*>("123456789"), 9), 0xCBF43926u);
  // The kept prices, last, little endian: 10.25f is 0x41240000.
  const unsigned char last4[] = {0x00, 0x00, 0x28, 0x41};  // 10.5f
  EXPECT_EQ(std::memcmp(bytes.data() + bytes.size() - 4, last4, 4), 0);
  const unsigned char third[] = {0x00, 0x00, 0x24, 0x41};  // 10.25f, two before
  EXPECT_EQ(std::memcmp(bytes.data() + bytes.size() - 12, third, 4), 0);
}

// Every refusal with its code, and nothing made.
TEST(SavedStream, RefusesBytesThatAreNotAStreamsState) {
  Stream stream(20);
  for (int i = 0; i < 60; ++i)
    stream.Push(100.0f + static_cast<float>(i % 7), 12.0f);
  const std::vector<unsigned char> good = stream.Save();
  ASSERT_EQ(RestoreCode(good), 0);
  // Every truncation.
  for (std::size_t n = 0; n < good.size(); ++n) {
    const std::vector<unsigned char> cut(good.begin(), good.begin() + static_cast<long>(n));
    const std::int32_t code = RestoreCode(cut);
    EXPECT_EQ(code, n < 16 ? TESSARYN_STREAM_NOT_SAVED_STREAM : TESSARYN_STREAM_DAMAGED_STATE)
        << n << " bytes";
  }
  // Every bit altered, one at a time: the checksum or the header refuses each, but for the
  // minor version's (bytes 6 and 7), which another minor version of the same state may have.
  for (std::size_t bit = 0; bit < 8 * good.size(); ++bit) {
    std::vector<unsigned char> bad = good;
    bad[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
    if (bit / 8 == 6 || bit / 8 == 7) {
      Stream restored = Stream::Restore(bad);
      EXPECT_TRUE(
          SameBits(restored.Push(104.0f, 12.0f), Stream::Restore(good).Push(104.0f, 12.0f)));
      continue;
    }
    EXPECT_NE(RestoreCode(bad), 0) << "bit " << bit;
  }
  // A byte more, and another major version.
  std::vector<unsigned char> longer = good;
  longer.push_back(0);
  EXPECT_EQ(RestoreCode(longer), TESSARYN_STREAM_DAMAGED_STATE);
  std::vector<unsigned char> major2 = good;
  major2[4] = 2;
  EXPECT_EQ(RestoreCode(major2), TESSARYN_STREAM_OTHER_MAJOR_VERSION);
  // Fields no stream has, the checksum made right: at payload offsets (bound 0, size 4,
  // period bits 12, computed 16, the window's newest 25 and period 29, the cycle's period 41).
  const struct {
    std::size_t at;
    unsigned char value;
    const char* what;
  } fields[] = {{3, 0x80, "negative bound"},
                {11, 0x80, "negative size"},
                {4, 0x00, "size below the prices kept"},
                {16, 2, "computed neither 0 nor 1"},
                {25, 0x7F, "window past the prices"},
                {29, 0x15, "window above the bound"},
                {41, 0x0B, "cycle's period not the window's"},
                {45, 0x01, "coefficients not the period's"}};
  for (const auto& f : fields) {
    std::vector<unsigned char> bad = good;
    bad[16 + f.at] = f.value;
    Reseal(bad);
    EXPECT_EQ(RestoreCode(bad), TESSARYN_STREAM_INCONSISTENT_STATE) << f.what;
  }
  // A later minor version's fields after the prices are let be; this version's may not be.
  std::vector<unsigned char> minor1 = good;
  minor1[6] = 1;
  minor1.insert(minor1.end(), {1, 2, 3, 4});
  minor1[8] = static_cast<unsigned char>(minor1.size() - 16);
  Reseal(minor1);
  EXPECT_EQ(RestoreCode(minor1), 0);
  minor1[6] = 0;
  Reseal(minor1);
  EXPECT_EQ(RestoreCode(minor1), TESSARYN_STREAM_INCONSISTENT_STATE);
  // Arguments.
  std::int32_t error = -1;
  EXPECT_EQ(TessarynStreamRestore(nullptr, 100, &error), nullptr);
  EXPECT_EQ(error, TESSARYN_STREAM_NULL_ARGUMENT);
  EXPECT_EQ(TessarynStreamRestore(good.data(), -1, &error), nullptr);
  EXPECT_EQ(error, TESSARYN_STREAM_NOT_SAVED_STREAM);
  EXPECT_EQ(TessarynStreamRestore(good.data(), 3, nullptr), nullptr);
  try {
    Stream::Restore(major2);
    ADD_FAILURE() << "restored another major version";
  } catch (const StreamError& e) {
    EXPECT_EQ(e.code(), TESSARYN_STREAM_OTHER_MAJOR_VERSION);
  }
  for (int code = 8; code <= 12; ++code)
    EXPECT_STRNE(TessarynStreamMessage(code), TessarynStreamMessage(99)) << code;
}

TEST(SavedStream, SaveTellsTheSizeAndWritesNothingIntoTooLittleRoom) {
  TessarynStream* const s = TessarynStreamCreate(0);
  float out[3];
  for (int i = 0; i < 10; ++i)
    TessarynStreamPush(s, 5.0f + static_cast<float>(i), 4.0f, out);
  std::int64_t size = -1;
  EXPECT_EQ(TessarynStreamSave(s, nullptr, 0, &size), TESSARYN_STREAM_OK);
  EXPECT_EQ(size, 16 + 17 + 152 + 4 + 40);  // every price of an unbounded stream
  std::vector<unsigned char> room(static_cast<std::size_t>(size), 0xAB);
  std::int64_t again = -1;
  EXPECT_EQ(TessarynStreamSave(s, room.data(), size - 1, &again),
            TESSARYN_STREAM_CAPACITY_TOO_SMALL);
  EXPECT_EQ(again, size);
  EXPECT_TRUE(std::all_of(room.begin(), room.end(), [](unsigned char b) { return b == 0xAB; }));
  EXPECT_EQ(TessarynStreamSave(s, room.data(), size, nullptr), TESSARYN_STREAM_NULL_ARGUMENT);
  EXPECT_EQ(TessarynStreamSave(nullptr, room.data(), size, &again), TESSARYN_STREAM_NULL_ARGUMENT);
  EXPECT_EQ(TessarynStreamSave(s, room.data(), size, &again), TESSARYN_STREAM_OK);
  // An empty stream saves and restores too.
  TessarynStream* const empty = TessarynStreamCreate(7);
  std::int64_t emptySize = 0;
  TessarynStreamSave(empty, nullptr, 0, &emptySize);
  std::vector<unsigned char> bytes(static_cast<std::size_t>(emptySize));
  TessarynStreamSave(empty, bytes.data(), emptySize, &emptySize);
  EXPECT_EQ(RestoreCode(bytes), 0);
  TessarynStreamDestroy(empty);
  TessarynStreamDestroy(s);
}

}  // namespace
}  // namespace tessaryn::test
