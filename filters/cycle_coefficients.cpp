#include "filters/cycle_coefficients.h"

namespace tessaryn {

namespace {

// In parts: each part is one evaluation at compile time, which compilers bound in steps.
template <std::int32_t From, std::int32_t Count>
constexpr std::array<HighPassCoefficients, Count> Part() noexcept {
  std::array<HighPassCoefficients, Count> part{};
  for (std::int32_t k = 0; k < Count; ++k) {
    part[static_cast<std::size_t>(k)] =
        From + k == 0 ? HighPassCoefficients{} : CoefficientsOf(From + k);
  }
  return part;
}

constexpr std::int32_t PartPeriods = 64;
static_assert(TabledPeriods % PartPeriods == 0);

template <std::size_t... P>
constexpr std::array<HighPassCoefficients, TabledPeriods + 1> Join(
    std::index_sequence<P...>) noexcept {
  constexpr std::array<std::array<HighPassCoefficients, PartPeriods>, sizeof...(P)> parts = {
      Part<static_cast<std::int32_t>(P) * PartPeriods, PartPeriods>()...};
  std::array<HighPassCoefficients, TabledPeriods + 1> table{};
  for (std::size_t p = 0; p < parts.size(); ++p) {
    for (std::size_t k = 0; k < PartPeriods; ++k) {
      table[p * PartPeriods + k] = parts[p][k];
    }
  }
  table[TabledPeriods] = Part<TabledPeriods, 1>()[0];
  return table;
}

}  // namespace

constexpr std::array<HighPassCoefficients, TabledPeriods + 1> kTabledCoefficients =
    Join(std::make_index_sequence<TabledPeriods / PartPeriods>());

void CoefficientCache::Fill(HighPassCoefficients& slot, std::int32_t period) noexcept {
  slot = CoefficientsOf(period);
}

}  // namespace tessaryn
