// The four-slot history of a filter's computed bars and its weighted smoother.
#pragma once

#include "filters/lanes.h"

namespace tessaryn {

// Weights 1, 2, 2, 1 over six for the newest value h0 and the three before it, summed in
// this fixed order so every build gets the same bits; for one bar or several at once.
template <class V>
V Smooth4(V h0, V h1, V h2, V h3) noexcept {
  return (((2.0 * h1 + h0) + 2.0 * h2) + h3) / 6.0;
}

// The values of the last computed bars, however far apart those bars lie: Advance takes the
// newest values (one per bar of a V, in bar order) and gives each bar its Smooth4 over itself
// and the three computed bars before it. Starts at zero, as if three bars of value 0 came
// first.
//
// One bar at a time, h1 is the newest of the three kept. That is also the form in which the
// wider histories hand over from chunk to chunk: each converts from and to it.
template <class V>
struct History4;

template <>
struct History4<double> {
  double h1 = 0.0;
  double h2 = 0.0;
  double h3 = 0.0;

  double Advance(double h0) noexcept {
    const double smoothed = Smooth4(h0, h1, h2, h3);
    h3 = h2;
    h2 = h1;
    h1 = h0;
    return smoothed;
  }

  // Advance undone, given the value it let go (h3 before it).
  void Retreat(double dropped) noexcept {
    h1 = h2;
    h2 = h3;
    h3 = dropped;
  }
};

// Two bars at a time: `before` holds the two bars before (older in the low lane), `before2`
// the two before those.
template <>
struct History4<Double2> {
  Double2 before2;
  Double2 before;

  explicit History4(const History4<double>& h) noexcept
      : before2(Double2::Of(0.0, h.h3)), before(Double2::Of(h.h2, h.h1)) {}
  explicit operator History4<double>() const noexcept {
    return {before.High(), before.Low(), before2.High()};
  }

  Double2 Advance(Double2 h0) noexcept {
    const Double2 smoothed =
        Smooth4(h0, Double2::Between(before, h0), before, Double2::Between(before2, before));
    before2 = before;
    before = h0;
    return smoothed;
  }
};

}  // namespace tessaryn
