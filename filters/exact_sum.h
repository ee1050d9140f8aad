// When a sum of single-precision values carried in double is exact.
//
// Every float of magnitude below 2^(E - 126), E its biased exponent, is an integer multiple
// of 2^(max(E, 1) - 150). So take a set of floats, all finite, whose largest biased exponent
// is Emax and whose smallest max(E, 1) over the nonzero ones is Emin: any signed sum of at
// most N of them is an integer multiple of 2^(Emin - 150) below N * 2^(Emax - 126) in
// magnitude, that is below 2^(ceil(log2 N) + Emax - Emin + 24) units. When that count of
// units is at most 2^53 the sum is a double, so every addition and subtraction of such sums
// is exact, and any order of summation gives the same bits as any other.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace tessaryn {

// The largest and the smallest nonzero magnitude among the values taken in, as their bit
// patterns (for non-negative floats, bit order is magnitude order, and the exponent is the
// pattern's top bits).
class ExponentSpan {
 public:
  // Takes in prices[first .. last], or one value. Eight at a time in the compiler's vectors:
  // where the routine's AVX2 version runs, one maximum and one minimum instruction each;
  // with SSE2 alone, compares and selects.
  void Add(const float* prices, std::int32_t first, std::int32_t last) noexcept {
    using Bits = std::int32_t __attribute__((vector_size(32)));
    const float* values = prices + first;
    const std::int32_t count = last - first + 1;
    std::int32_t k = 0;
    if (count >= 8) {
      Bits large = Bits{} + largest_;
      Bits small = Bits{} + smallest_;
      for (; k + 8 <= count; k += 8) {
        Bits magnitude;
        std::memcpy(&magnitude, values + k, sizeof magnitude);
        magnitude &= 0x7FFFFFFF;
        large = magnitude > large ? magnitude : large;
        const Bits nonzero = magnitude == 0 ? Bits{} + 0x7FFFFFFF : magnitude;  // zeros: no part
        small = nonzero < small ? nonzero : small;
      }
      for (int lane = 0; lane < 8; ++lane) {
        AddBits(large[lane], small[lane]);
      }
    }
    for (; k < count; ++k) {
      Add(values[k]);
    }
  }

  void Add(float value) noexcept {
    const std::int32_t magnitude = std::bit_cast<std::int32_t>(value) & 0x7FFFFFFF;
    largest_ = magnitude > largest_ ? magnitude : largest_;
    const std::int32_t nonzero = magnitude == 0 ? 0x7FFFFFFF : magnitude;  // zeros take no part
    smallest_ = nonzero < smallest_ ? nonzero : smallest_;
  }

  // Takes in the bit patterns of a largest magnitude and a smallest nonzero one (0x7FFFFFFF
  // for none), as another pass found them.
  void AddBits(std::int32_t largest, std::int32_t smallestNonzero) noexcept {
    largest_ = largest > largest_ ? largest : largest_;
    smallest_ = smallestNonzero < smallest_ ? smallestNonzero : smallest_;
  }

  // Takes in what another span took in.
  void Add(const ExponentSpan& other) noexcept { AddBits(other.largest_, other.smallest_); }

  // Whether every value taken in is finite (none has biased exponent 255).
  bool Finite() const noexcept { return largest_ < 0x7F800000; }

  // The largest biased exponent taken in (0 for none).
  int Top() const noexcept { return largest_ >> 23; }

  // max(E, 1) of the smallest nonzero magnitude taken in (E its biased exponent): its unit is
  // 2^(Unit() - 150). 255 when there is none.
  int Unit() const noexcept {
    const int exponent = smallest_ >> 23;
    return exponent > 1 ? exponent : 1;
  }

  // True when every signed sum of at most `terms` of the values taken in is exact in double
  // (false as soon as one of them is infinite or NaN: biased exponent 255).
  bool SumsAreExact(std::int64_t terms) const noexcept {
    const int top = Top();
    if (top == 255) {
      return false;
    }
    if (smallest_ == 0x7FFFFFFF) {  // all zero
      return true;
    }
    const int unit = Unit();
    const int termBits = std::bit_width(static_cast<std::uint64_t>(terms - 1));  // ceil(log2)
    return termBits + (top - unit) + 24 <= 53;
  }

 private:
  std::int32_t largest_ = 0;
  std::int32_t smallest_ = 0x7FFFFFFF;
};

// Confirms runs of prices, in increasing order, as summing exactly. The exponents seen so far
// are kept, so on real data each price is examined once.
class ExactSums {
 public:
  // True when every signed sum of at most `terms` prices from prices[first .. last] is exact,
  // judged on the exponents seen so far and the new prices: false when those do not cover
  // the run, or fail (the caller may look at the run again, and Restart from it).
  bool Confirm(const float* prices, std::int32_t first, std::int32_t last,
               std::int64_t terms) noexcept {
    if (seenFirst_ <= first && seenLast_ >= first - 1) {
      if (last == seenLast_ + 1) {  // a stream's next price
        seen_.Add(prices[last]);
        seenLast_ = last;
      } else if (last > seenLast_) {
        seen_.Add(prices, seenLast_ + 1, last);
        seenLast_ = last;
      }
      return seen_.SumsAreExact(terms);
    }
    return false;
  }

  // Starts again from the exponents of prices[first .. last].
  void Restart(const ExponentSpan& span, std::int32_t first, std::int32_t last) noexcept {
    seen_ = span;
    seenFirst_ = first;
    seenLast_ = last;
  }

  // The prices moved `shift` places toward the front (a stream let its oldest ones go); the
  // span may still hold some that went, which only makes it the more cautious.
  void Rebase(std::int32_t shift) noexcept {
    seenFirst_ -= shift;
    seenLast_ -= shift;
  }

 private:
  ExponentSpan seen_;  // of prices[seenFirst_ .. seenLast_]
  std::int32_t seenFirst_ = 0;
  std::int32_t seenLast_ = -1;
};

}  // namespace tessaryn
