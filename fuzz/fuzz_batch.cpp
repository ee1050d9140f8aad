// The three routines against the plain fresh-sum reference of the tests, bit for bit, on the
// series the fuzzer's bytes decode to (fuzz_input.h), with arrays of exactly `count` floats;
// and with the period array doubling as the output, as the routines allow.
#include <tessaryn.h>

#include <cstddef>
#include <cstdint>

#include "filters/dispatch.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_input.h"
#include "tests/plain_filters.h"

using tessaryn::fuzz::Exact;
using tessaryn::fuzz::Finding;
using tessaryn::fuzz::Same;

namespace {

using Routine = void(TESSARYN_CALL*)(const float*, const float*, std::int32_t, float*);

struct Row {
  const char* name;
  Routine run;
};

// The indicator table's rows, in its order: that of the plain reference's outputs.
constexpr Row kRows[] = {
#define TESSARYN_INDICATOR(Routine, Ordinal, Step, output, function, Plain) {#Routine, &::Routine},
#include "filters/indicators.inc"
#undef TESSARYN_INDICATOR
};
static_assert(std::size(kRows) == std::size(tessaryn::test::PlainOutputs{}.of));

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessaryn::fuzz::Bytes in(data, size);
  const tessaryn::fuzz::Bars bars = tessaryn::fuzz::Decode(in);
  const auto count = static_cast<std::int32_t>(bars.prices.size());
  const std::vector<float> prices = Exact(bars.prices);
  const std::vector<float> periods = Exact(bars.periods);
  const tessaryn::test::PlainOutputs plain = tessaryn::test::RunPlainAll(prices, periods);
  // Every width the build has, chosen by the input's first byte.
  const int widths = static_cast<int>(tessaryn::WidestLanes()) == 4 ? 3 : 2;
  tessaryn::LimitLanes(static_cast<tessaryn::Lanes>(1 << (size > 0 ? data[0] % widths : 0)));
  for (std::size_t r = 0; r < std::size(kRows); ++r) {
    const Row& row = kRows[r];
    const std::vector<float>& want = plain.of[r];
    std::vector<float> out(bars.prices.size());
    row.run(prices.data(), periods.data(), count, out.data());
    std::vector<float> inPlace = Exact(periods);
    row.run(prices.data(), inPlace.data(), count, inPlace.data());
    for (std::size_t i = 0; i < want.size(); ++i) {
      if (!Same(out[i], want[i]))
        Finding(row.name, i, out[i], want[i]);
      if (!Same(inPlace[i], want[i]))
        Finding("period array as output", i, inPlace[i], want[i]);
    }
  }
  return 0;
}
