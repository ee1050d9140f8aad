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

namespace tessaryn {

class ExponentSpan {
 public:
  // Takes in prices[first .. last].
  void Add(const float* prices, std::int32_t first, std::int32_t last) noexcept {
    unsigned largest = largest_;
    unsigned smallest = smallest_;
    for (std::int32_t k = first; k <= last; ++k) {
      const std::uint32_t bits = std::bit_cast<std::uint32_t>(prices[k]) & 0x7FFFFFFFu;
      const unsigned exponent = bits >> 23;
      largest = exponent > largest ? exponent : largest;
      // Zeros take no part; subnormals count as exponent 1, the scale of their units.
      const unsigned unit = bits == 0 ? 255u : (exponent == 0 ? 1u : exponent);
      smallest = unit < smallest ? unit : smallest;
    }
    largest_ = largest;
    smallest_ = smallest;
  }

  // True when every signed sum of at most `terms` of the values taken in is exact in double
  // (false as soon as one of them is infinite or NaN: biased exponent 255).
  bool SumsAreExact(std::int64_t terms) const noexcept {
    if (largest_ == 255u) {
      return false;
    }
    if (smallest_ > largest_) {  // all zero
      return true;
    }
    const int termBits = std::bit_width(static_cast<std::uint64_t>(terms - 1));  // ceil(log2)
    return termBits + static_cast<int>(largest_ - smallest_) + 24 <= 53;
  }

 private:
  unsigned largest_ = 0;
  unsigned smallest_ = 255;
};

}  // namespace tessaryn
