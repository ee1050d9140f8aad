// Four-slot history of computed bars and its weighted smoother.
#pragma once

namespace tessaryn {

// Bars are processed in chunks of this many: a serial pass records each computed bar's state,
// then a second pass, free of bar-to-bar dependencies, forms the outputs (and vectorises).
inline constexpr int ChunkBars = 256;

// Weights 1, 2, 2, 1 over six for the newest value h0 and the three before it, summed in
// this fixed order so every build gets the same bits.
constexpr double Smooth4(double h0, double h1, double h2, double h3) noexcept {
  return (((2.0 * h1 + h0) + 2.0 * h2) + h3) / 6.0;
}

// One value per computed bar of the current chunk, k = 0, 1, ..., preceded by the values of
// the three computed bars before the chunk. So for the chunk's k-th computed bar, h0 is
// at(k) and h1 to h3 are at(k - 1) to at(k - 3), whatever empty bars lie between them.
// Starts at zero, as if three computed bars of value 0 came first.
struct History4 {
  double slots[3 + ChunkBars] = {};

  constexpr double& at(int k) noexcept { return slots[3 + k]; }
  constexpr double at(int k) const noexcept { return slots[3 + k]; }

  constexpr double Smoothed(int k) const noexcept {
    return Smooth4(slots[3 + k], slots[2 + k], slots[1 + k], slots[k]);
  }

  // After a chunk with `filled` computed bars: its last three become the history before the
  // next chunk.
  constexpr void Carry(int filled) noexcept {
    for (int s = 0; s < 3; ++s) {
      slots[s] = slots[filled + s];
    }
  }
};

}  // namespace tessaryn
