// A stream's state as bytes (TessarynStreamSave, TessarynStreamRestore): the same on every
// platform, little endian and of fixed widths.
//
//   header   "TSST", major 1 (u16), minor 0 (u16), payload bytes (u32), CRC-32 of the payload (u32)
//   payload  bound (i32), bars seen (i64), the last period's bits (u32), whether the newest bar
//            was computed (u8), the serial state, the histories and what the newest bar
//            overwrote (Fields below, in that order), the prices kept (i32 count, then each
//            price's bits, u32)
//
// Only what changes a later bar's bits is in it. The step's caches (what the trend's judge
// learned of the prices' exponents and run sums, its reach back, the cycle's coefficients of
// recent periods) are learned again from the prices; they only choose among ways to a sum that
// all give the fresh sum's bits. A bounded stream saves its last keep_ prices and counts
// places from the first of them, as its own Rebase would leave them.
//
// A later minor version only appends to the payload; a reader of the same major version reads
// what it knows and lets the rest be.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "filters/crc32.h"
#include "filters/cycle_coefficients.h"
#include "filters/history4.h"
#include "filters/model_step.h"
#include "filters/round_period.h"
#include "filters/stream.h"
#include "filters/window_sum.h"

namespace tessaryn {

namespace saved {

inline constexpr unsigned char kMagic[4] = {'T', 'S', 'S', 'T'};
inline constexpr std::uint16_t kMajor = 1;
inline constexpr std::uint16_t kMinor = 0;
inline constexpr std::int64_t kHeaderBytes = 16;

// The fields of each part, in the order they are written; Io puts or gets each (Writer,
// Reader). Places are counted from the first price saved.
template <class Io>
void Fields(Io& io, CarriedWindow& w) {
  io.Value(w.sum);
  io.Place(w.newest);
  io.Value(w.period);
}
template <class Io>
void Fields(Io& io, HighPassCoefficients& k) {
  io.Value(k.period);
  io.Value(k.alpha);
  io.Value(k.gain);
}
template <class Io>
void Fields(Io& io, History4<double>& h) {
  io.Value(h.h1);
  io.Value(h.h2);
  io.Value(h.h3);
}
template <class Io>
void Fields(Io& io, StepState<ModelStep>& s) {
  Fields(io, s.serial.trend.window);
  io.Value(s.serial.cycle.highPass);
  Fields(io, s.serial.cycle.coefficients);
  Fields(io, s.histories.trend.changes);
  Fields(io, s.histories.cycle.values);
}
template <class Io>
void Fields(Io& io, ModelStep::Kept& k) {
  CarriedWindow window{k.trend.sum, k.trend.newest, k.trend.period};
  Fields(io, window);
  k.trend.sum = window.sum;
  k.trend.newest = window.newest;
  k.trend.period = window.period;
  io.Value(k.trend.dropped);
  io.Value(k.cycle.highPass);
  Fields(io, k.cycle.coefficients);
  io.Value(k.cycle.dropped);
}

// Little endian, whatever the platform's order.
inline void PutBits(unsigned char* at, std::uint64_t bits, int bytes) noexcept {
  for (int b = 0; b < bytes; ++b) {
    at[b] = static_cast<unsigned char>(bits >> (8 * b));
  }
}
inline std::uint64_t GetBits(const unsigned char* at, int bytes) noexcept {
  std::uint64_t bits = 0;
  for (int b = 0; b < bytes; ++b) {
    bits |= std::uint64_t{at[b]} << (8 * b);
  }
  return bits;
}

template <class T>
std::uint64_t BitsOf(T value) noexcept {
  if constexpr (sizeof(T) == 8) {
    return std::bit_cast<std::uint64_t>(value);
  } else if constexpr (sizeof(T) == 4) {
    return std::bit_cast<std::uint32_t>(value);
  } else {
    return static_cast<std::uint64_t>(value);
  }
}

// Counts the bytes the fields take (at == nullptr), or writes them.
struct Writer {
  unsigned char* at;
  std::int32_t shift;  // places before the first price saved
  std::int64_t bytes = 0;

  template <class T>
  void Value(const T& value) noexcept {
    if (at != nullptr) {
      PutBits(at + bytes, BitsOf(value), sizeof(T));
    }
    bytes += sizeof(T);
  }
  void Place(std::int32_t place) noexcept { Value(static_cast<std::int32_t>(place - shift)); }
};

// Reads fields while the bytes last; once they run out, every later field reads as zero and
// `short_` tells.
struct Reader {
  const unsigned char* at;
  std::int64_t left;
  bool short_ = false;

  template <class T>
  void Value(T& value) noexcept {
    if (left < static_cast<std::int64_t>(sizeof(T))) {
      short_ = true;
      left = 0;
      value = T{};
      return;
    }
    const std::uint64_t bits = GetBits(at, sizeof(T));
    if constexpr (sizeof(T) == 8) {
      value = std::bit_cast<T>(bits);
    } else if constexpr (sizeof(T) == 4) {
      value = std::bit_cast<T>(static_cast<std::uint32_t>(bits));
    } else {
      value = static_cast<T>(bits);
    }
    at += sizeof(T);
    left -= static_cast<std::int64_t>(sizeof(T));
  }
  void Place(std::int32_t& place) noexcept { Value(place); }
};

}  // namespace saved

// Save and Restore of StreamEngine<ModelStep>, which lets this see its state whole.
struct SavedStream {
  using Engine = StreamEngine<ModelStep>;

  // The prices a bounded stream keeps for later bars (its last keep_), else all.
  static std::int32_t PricesKept(const Engine& e) noexcept {
    return e.bound_ > 0 ? std::min(e.used_, e.keep_) : e.used_;
  }

  static std::int64_t Size(const Engine& e) noexcept { return Write(e, nullptr); }

  // Writes the state at `bytes` (Size(e) of them), or only counts them when it is null.
  static std::int64_t Write(const Engine& e, unsigned char* bytes) noexcept {
    const std::int32_t prices = PricesKept(e);
    unsigned char* const payload = bytes == nullptr ? nullptr : bytes + saved::kHeaderBytes;
    saved::Writer w{payload, e.used_ - prices};
    StepState<ModelStep> state = e.state_;
    ModelStep::Kept kept = e.kept_;
    w.Value(e.bound_);
    w.Value(e.size_);
    w.Value(e.periodBits_);
    w.Value(static_cast<std::uint8_t>(e.newestComputed_ ? 1 : 0));
    saved::Fields(w, state);
    saved::Fields(w, kept);
    w.Value(prices);
    // An empty stream has no buffer yet: nothing to copy, and no pointer to offset.
    if (payload != nullptr && prices > 0) {
      const float* const from = e.prices_ + (e.used_ - prices);
      if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(payload + w.bytes, from, static_cast<std::size_t>(prices) * sizeof(float));
      } else {
        for (std::int32_t k = 0; k < prices; ++k) {
          saved::PutBits(payload + w.bytes + 4 * std::int64_t{k}, saved::BitsOf(from[k]), 4);
        }
      }
    }
    const std::int64_t payloadBytes = w.bytes + 4 * std::int64_t{prices};
    if (bytes != nullptr) {
      std::memcpy(bytes, saved::kMagic, 4);
      saved::PutBits(bytes + 4, saved::kMajor, 2);
      saved::PutBits(bytes + 6, saved::kMinor, 2);
      saved::PutBits(bytes + 8, static_cast<std::uint64_t>(payloadBytes), 4);
      saved::PutBits(bytes + 12, Crc32(payload, static_cast<std::size_t>(payloadBytes)), 4);
    }
    return saved::kHeaderBytes + payloadBytes;
  }

  // What Restore found in the bytes, checked, before any stream is made.
  struct Image {
    std::int32_t bound = 0;
    std::int64_t size = 0;
    std::uint32_t periodBits = 0;
    bool newestComputed = false;
    StepState<ModelStep> state;
    ModelStep::Kept kept{};
    std::int32_t prices = 0;
    const unsigned char* priceBytes = nullptr;
  };

  // The header and the checksum, then every field: Ok, or why the bytes are refused.
  static StreamStatus Read(const unsigned char* bytes, std::int64_t n, Image& image) noexcept {
    if (n < saved::kHeaderBytes || std::memcmp(bytes, saved::kMagic, 4) != 0) {
      return StreamStatus::NotSavedStream;
    }
    if (saved::GetBits(bytes + 4, 2) != saved::kMajor) {
      return StreamStatus::OtherMajorVersion;
    }
    const auto minor = static_cast<std::uint16_t>(saved::GetBits(bytes + 6, 2));
    const auto payloadBytes = static_cast<std::int64_t>(saved::GetBits(bytes + 8, 4));
    if (payloadBytes != n - saved::kHeaderBytes) {
      return StreamStatus::DamagedState;
    }
    const unsigned char* const payload = bytes + saved::kHeaderBytes;
    if (Crc32(payload, static_cast<std::size_t>(payloadBytes)) != saved::GetBits(bytes + 12, 4)) {
      return StreamStatus::DamagedState;
    }
    saved::Reader r{payload, payloadBytes};
    std::uint8_t computed = 0;
    r.Value(image.bound);
    r.Value(image.size);
    r.Value(image.periodBits);
    r.Value(computed);
    saved::Fields(r, image.state);
    saved::Fields(r, image.kept);
    r.Value(image.prices);
    image.newestComputed = computed == 1;
    image.priceBytes = r.at;
    if (r.short_ || image.prices < 0 || r.left < 4 * std::int64_t{image.prices} ||
        (minor == saved::kMinor && r.left != 4 * std::int64_t{image.prices}) || computed > 1) {
      return StreamStatus::InconsistentState;
    }
    return Consistent(image) ? StreamStatus::Ok : StreamStatus::InconsistentState;
  }

  // The image's state into e, a new stream of its bound: its prices at the front of its buffer.
  static StreamStatus Load(const Image& image, Engine& e) noexcept {
    if (image.prices > 0) {
      // Any room of at least the prices will do: MakeRoom grows or rebases from there.
      const std::int64_t least = std::max<std::int64_t>(image.prices, 1024);
      const std::int64_t capacity =
          image.bound > 0
              ? std::min({least, std::int64_t{e.keep_} + Engine::BatchBars, Engine::kMostPlaces})
              : least;
      auto* const prices =
          static_cast<float*>(std::malloc(static_cast<std::size_t>(capacity) * sizeof(float)));
      if (prices == nullptr) {
        return StreamStatus::OutOfMemory;
      }
      if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(prices, image.priceBytes, static_cast<std::size_t>(image.prices) * 4);
      } else {
        for (std::int32_t k = 0; k < image.prices; ++k) {
          prices[k] = std::bit_cast<float>(static_cast<std::uint32_t>(
              saved::GetBits(image.priceBytes + 4 * std::int64_t{k}, 4)));
        }
      }
      e.prices_ = prices;
      e.capacity_ = static_cast<std::int32_t>(capacity);
    }
    e.used_ = image.prices;
    e.size_ = image.size;
    e.state_ = image.state;
    e.kept_ = image.kept;
    e.newestComputed_ = image.newestComputed;
    e.periodBits_ = image.periodBits;
    e.rounded_ = RoundPeriod(std::bit_cast<float>(image.periodBits));
    e.step_.Rebase(e.state_.serial, e.prices_, 0);
    return StreamStatus::Ok;
  }

 private:
  // A carried window whose prices are all among those kept (or none: period 0), with the
  // coefficients of its period beside it, as every step leaves them.
  static bool Holds(const CarriedWindow& w, const HighPassCoefficients& k, std::int32_t bound,
                    std::int32_t prices, std::int32_t newestAtMost) noexcept {
    if (w.period == 0) {
      // None yet, or one a bounded stream let go with its prices: the cycle's coefficients
      // are then none or those of the last computed bar's period.
      if (w.newest != 0 || std::bit_cast<std::uint64_t>(w.sum) != 0) {
        return false;
      }
      if (k.period == 0) {
        return std::bit_cast<std::uint64_t>(k.alpha) == 0 &&
               std::bit_cast<std::uint64_t>(k.gain) == 0;
      }
      const HighPassCoefficients own = CoefficientsOf(k.period);
      return k.period > 0 && (bound == 0 || k.period <= bound) &&
             std::bit_cast<std::uint64_t>(k.alpha) == std::bit_cast<std::uint64_t>(own.alpha) &&
             std::bit_cast<std::uint64_t>(k.gain) == std::bit_cast<std::uint64_t>(own.gain);
    }
    if (k.period != w.period) {
      return false;
    }
    const HighPassCoefficients own = CoefficientsOf(w.period);
    return w.period > 0 && (bound == 0 || w.period <= bound) && w.newest <= newestAtMost &&
           w.newest < prices && std::int64_t{w.newest} - w.period + 1 >= 0 &&
           std::bit_cast<std::uint64_t>(k.alpha) == std::bit_cast<std::uint64_t>(own.alpha) &&
           std::bit_cast<std::uint64_t>(k.gain) == std::bit_cast<std::uint64_t>(own.gain);
  }

  // A state some stream had: the prices a stream of that bound keeps after that many bars, and
  // windows within them.
  static bool Consistent(const Image& m) noexcept {
    if (m.bound < 0 || m.size < 0) {
      return false;
    }
    const std::int64_t keep = m.bound > 0 ? Engine::KeepFor(m.bound) : m.size;
    if (m.bound == 0 && m.size > Engine::kMostPlaces) {
      return false;
    }
    if (m.prices != std::min(m.size, keep)) {
      return false;
    }
    const std::int32_t newest = m.prices - 1;
    if (!Holds(m.state.serial.trend.window, m.state.serial.cycle.coefficients, m.bound, m.prices,
               newest)) {
      return false;
    }
    if (!m.newestComputed) {
      return true;
    }
    const CarriedWindow& w = m.state.serial.trend.window;
    const CarriedWindow before{m.kept.trend.sum, m.kept.trend.newest, m.kept.trend.period};
    return w.period > 0 && w.newest == newest && w.period <= m.size - 1 &&
           Holds(before, m.kept.cycle.coefficients, m.bound, m.prices, newest - 1);
  }
};

}  // namespace tessaryn
