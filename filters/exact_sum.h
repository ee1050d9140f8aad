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
#include <climits>
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

  // The most terms whose every signed sum of values taken in is exact in double: 0 as soon as
  // one of them is infinite or NaN (biased exponent 255), no limit when all are zero. A sum
  // of N terms needs ceil(log2 N) bits above the span, so N may reach 2^(29 - (top - unit)).
  std::int64_t MostTerms() const noexcept {
    const int top = Top();
    if (top == 255) {
      return 0;
    }
    if (smallest_ == 0x7FFFFFFF) {  // all zero
      return INT64_MAX;
    }
    const int spareBits = 53 - 24 - (top - Unit());
    return spareBits >= 0 ? std::int64_t{1} << spareBits : 0;
  }

  bool SumsAreExact(std::int64_t terms) const noexcept { return terms <= MostTerms(); }

  // Takes in one value; true when that widened the span (its limits moved).
  bool Widens(float value) noexcept {
    const std::int32_t magnitude = std::bit_cast<std::int32_t>(value) & 0x7FFFFFFF;
    const std::int32_t nonzero = magnitude == 0 ? 0x7FFFFFFF : magnitude;  // zeros take no part
    if (magnitude <= largest_ && nonzero >= smallest_) {
      return false;
    }
    Add(value);
    return true;
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
    if (!Covers(first)) {
      return false;
    }
    if (last == seenLast_ + 1) {
      TakeNext(prices[last]);
    } else if (last > seenLast_) {
      seen_.Add(prices, seenLast_ + 1, last);
      mostTerms_ = seen_.MostTerms();
      seenLast_ = last;
    }
    return terms <= mostTerms_;
  }

  // The same for a run that ends at the price after those seen, a stream's next bar (false
  // for any other): one price to take in, and nothing of the vector scan above inlined.
  bool ConfirmNext(const float* prices, std::int32_t first, std::int32_t last,
                   std::int64_t terms) noexcept {
    if (!Covers(first) || last != seenLast_ + 1) {
      return false;
    }
    TakeNext(prices[last]);
    return terms <= mostTerms_;
  }

  // Starts again from the exponents of prices[first .. last].
  void Restart(const ExponentSpan& span, std::int32_t first, std::int32_t last) noexcept {
    seen_ = span;
    mostTerms_ = span.MostTerms();
    seenFirst_ = first;
    seenLast_ = last;
  }

  // The price at `place` and those after it are to be replaced: each is taken in again when
  // confirmed. The span keeps what it took of them, which only makes it the more cautious.
  void Forget(std::int32_t place) noexcept {
    seenLast_ = seenLast_ < place ? seenLast_ : place - 1;
  }

  // The prices moved `shift` places toward the front (a stream let its oldest ones go); the
  // span may still hold some that went, which only makes it the more cautious.
  void Rebase(std::int32_t shift) noexcept {
    seenFirst_ -= shift;
    seenLast_ -= shift;
  }

 private:
  // Whether what was seen reaches back to `first`, with no gap before the prices to come.
  bool Covers(std::int32_t first) const noexcept {
    return seenFirst_ <= first && seenLast_ >= first - 1;
  }

  // Most prices leave the span as it was.
  void TakeNext(float price) noexcept {
    if (seen_.Widens(price)) {
      mostTerms_ = seen_.MostTerms();
    }
    ++seenLast_;
  }

  ExponentSpan seen_;                   // of prices[seenFirst_ .. seenLast_]
  std::int64_t mostTerms_ = INT64_MAX;  // seen_.MostTerms(), kept
  std::int32_t seenFirst_ = 0;
  std::int32_t seenLast_ = -1;
};

}  // namespace tessaryn
