// A run of consecutive bars as the bar loop hands it to a step, and the paces its bars can go.
#pragma once

#include <cstdint>

namespace tessaryn {

// Bars whose periods the bar loop rounds and whose step plans at a time.
inline constexpr int ChunkBars = 256;

// How a chunk's bars go through a step, as its plan says: bar by bar, or (every bar
// computed) several at a time, each with the period of the bar before (uniform), with one
// that may be a bar longer or shorter (drifting), or with any (jumping). A step that has no
// use for the difference takes drifting and jumping alike: each bar with its own period.
enum class Pace { BarByBar, Uniform, Drifting, Jumping };

struct Chunk {
  std::int32_t first;           // its first bar
  int n;                        // how many bars
  const std::int32_t* periods;  // their rounded periods (0 where none is valid)
  bool uniform;                 // one period throughout
  bool full;                    // every bar computed

  // Whether bar i (a chunk's 32-bit index, or a stream's 64-bit one) is computed.
  template <class Index>
  static bool Computed(Index i, std::int32_t period) noexcept {
    return period >= 1 && period <= i;
  }
};

}  // namespace tessaryn
