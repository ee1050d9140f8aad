// Turns a fuzzer's bytes into series that reach the hard places of the filters: price
// exponents near the exactness budget, runs of periods drifting by one, changes at chunk
// boundaries, periods out of contract, NaN, infinities, the empty-bar marker, counts that are
// not multiples of 2, 4 or 256. The first byte chooses how the rest is read:
//   even: raw bars, each a float price and a float period (little-endian), as they are;
//   odd:  a generator whose every choice is the next byte.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace tessaryn::fuzz {

class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
  float Float() {
    std::uint32_t bits = 0;
    for (int k = 0; k < 4; ++k)
      bits |= static_cast<std::uint32_t>(Byte()) << (8 * k);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

struct Bars {
  std::vector<float> prices;
  std::vector<float> periods;
};

inline constexpr std::size_t kMostBars = 1200;  // past four chunks, and quick to check

// A price from the generator: a walk at a level whose exponent the bytes pick (so sums land
// on both sides of the exactness budget), or one of the values that defeat the check.
inline float GeneratedPrice(Bytes& in, float& walk, int& exponent) {
  const std::uint8_t kind = in.Byte();
  switch (kind % 16) {
    case 0:
      return std::numeric_limits<float>::quiet_NaN();
    case 1:
      return (kind & 16) ? std::numeric_limits<float>::infinity()
                         : -std::numeric_limits<float>::infinity();
    case 2:
      return 3.4E+38f;
    case 3:
      return 0.0f;
    case 4:  // a lone value far below the walk: the budget's smallest unit moves
      return std::ldexp(1.0f + static_cast<float>(kind >> 4) / 16.0f, exponent - 20 - (kind >> 5));
    case 5:
      exponent = static_cast<int>(in.Byte() % 200) - 100;
      walk = std::ldexp(1.0f, exponent);
      return walk;
    default: {
      const float step = static_cast<float>(static_cast<std::int8_t>(in.Byte())) / 128.0f;
      walk += std::ldexp(step, exponent - 6 - (kind >> 6));
      return walk;
    }
  }
}

// A period from the generator: held, drifting by one, jumping, a half, or out of contract.
inline float GeneratedPeriod(Bytes& in, float& period) {
  const std::uint8_t kind = in.Byte();
  switch (kind % 16) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
      return period;  // held
    case 6:
    case 7:
      return period += 1.0f;
    case 8:
    case 9:
      return period = period > 1.0f ? period - 1.0f : period;
    case 10:
      return period = static_cast<float>(1 + in.Byte() % 64);
    case 11:
      return period = static_cast<float>(1 + in.Word() % 700);
    case 12:
      return static_cast<float>(in.Byte()) / 2.0f;  // halves, 0 and 0.5 among them
    case 13: {
      const float odd[] = {0.0f,
                           -0.0f,
                           -3.0f,
                           0x1p31f,
                           1e10f,
                           std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN(),
                           0.4999999f};
      return odd[kind >> 5];
    }
    default:
      return period;
  }
}

inline Bars Decode(Bytes& in) {
  Bars bars;
  const std::uint8_t mode = in.Byte();
  if (mode % 2 == 0) {
    while (!in.empty() && bars.prices.size() < kMostBars) {
      bars.prices.push_back(in.Float());
      bars.periods.push_back(in.Float());
    }
    return bars;
  }
  // Count first, so that lengths around chunk sizes come up often.
  const std::size_t count = in.Word() % (kMostBars + 1);
  float walk = 100.0f;
  int exponent = 6;
  float period = static_cast<float>(1 + mode % 32);
  for (std::size_t i = 0; i < count; ++i) {
    bars.prices.push_back(GeneratedPrice(in, walk, exponent));
    bars.periods.push_back(GeneratedPeriod(in, period));
  }
  return bars;
}

}  // namespace tessaryn::fuzz
