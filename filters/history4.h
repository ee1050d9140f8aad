// Four-slot history of the last computed bars and its weighted smoother.
#pragma once

namespace tessaryn {

// h0 is the newest slot, h3 the oldest. Starts at zero; moves only on computed bars.
struct History4 {
  double h0 = 0.0;
  double h1 = 0.0;
  double h2 = 0.0;
  double h3 = 0.0;

  // Shifts every slot one place older; h0 keeps its value until the step assigns the
  // bar's new value, so the step can still read the previous bar's value as h1.
  constexpr void Advance() noexcept {
    h3 = h2;
    h2 = h1;
    h1 = h0;
  }
};

// Weights 1, 2, 2, 1 over six, summed in this fixed order so every build gets the same bits.
constexpr double Smooth4(const History4& h) noexcept {
  return (((2.0 * h.h1 + h.h0) + 2.0 * h.h2) + h.h3) / 6.0;
}

}  // namespace tessaryn
