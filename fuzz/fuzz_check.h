// What the fuzz targets compare with, and how they stop on a difference.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tessaryn::fuzz {

inline std::uint32_t Bits(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// The same bits, or NaN for NaN (payloads may differ).
inline bool Same(float a, float b) {
  return Bits(a) == Bits(b) || (a != a && b != b);
}

// A finding: says what differed, then aborts so that the fuzzer keeps the input.
[[noreturn]] inline void Finding(const char* what, std::size_t bar, float got, float want) {
  std::fprintf(stderr, "FINDING: %s, bar %zu: %a (0x%08X) instead of %a (0x%08X)\n", what, bar, got,
               Bits(got), want, Bits(want));
  std::abort();
}

[[noreturn]] inline void Finding(const char* what) {
  std::fprintf(stderr, "FINDING: %s\n", what);
  std::abort();
}

// An array of exactly these values, so that any read or write past it is caught.
inline std::vector<float> Exact(const std::vector<float>& values) {
  return std::vector<float>(values.begin(), values.end());
}

}  // namespace tessaryn::fuzz
