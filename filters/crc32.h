// CRC-32 (the polynomial of zlib and PNG, reflected, 0xEDB88320), eight bytes a step: a saved
// stream's check over its payload, the same on every platform.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessaryn {

namespace crc32_detail {

using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Tables MakeTables() noexcept {
  Tables t{};
  for (std::uint32_t b = 0; b < 256; ++b) {
    std::uint32_t c = b;
    for (int k = 0; k < 8; ++k) {
      c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    t[0][b] = c;
  }
  for (std::size_t s = 1; s < 8; ++s) {
    for (std::uint32_t b = 0; b < 256; ++b) {
      t[s][b] = (t[s - 1][b] >> 8) ^ t[0][t[s - 1][b] & 0xFFu];
    }
  }
  return t;
}

inline constexpr Tables kTables = MakeTables();

}  // namespace crc32_detail

// The CRC-32 of bytes[0 .. n - 1]; reads them a byte at a time, so any alignment will do.
inline std::uint32_t Crc32(const unsigned char* bytes, std::size_t n) noexcept {
  const auto& t = crc32_detail::kTables;
  std::uint32_t c = 0xFFFFFFFFu;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const std::uint32_t lo =
        c ^ (std::uint32_t{bytes[i]} | std::uint32_t{bytes[i + 1]} << 8 |
             std::uint32_t{bytes[i + 2]} << 16 | std::uint32_t{bytes[i + 3]} << 24);
    c = t[7][lo & 0xFFu] ^ t[6][(lo >> 8) & 0xFFu] ^ t[5][(lo >> 16) & 0xFFu] ^ t[4][lo >> 24] ^
        t[3][bytes[i + 4]] ^ t[2][bytes[i + 5]] ^ t[1][bytes[i + 6]] ^ t[0][bytes[i + 7]];
  }
  for (; i < n; ++i) {
    c = t[0][(c ^ bytes[i]) & 0xFFu] ^ (c >> 8);
  }
  return ~c;
}

}  // namespace tessaryn
